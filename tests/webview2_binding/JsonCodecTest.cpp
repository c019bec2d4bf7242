#include "webview2_binding/JsonCodec.h"
#include "platform/automation/AutomationError.h"
#include "tests/common/CommaDecimalLocale.h"
#include "tests/common/QtPrinters.h"
#include "webview2_binding/Collection.h"

#include <gtest/gtest.h>

namespace {

Variant collectionOf(std::initializer_list<std::pair<const char*, Variant>> items) {
    auto collection = Collection::create();
    for (const auto& [key, value] : items)
        collection->add(value, QString::fromUtf8(key));
    return Variant(std::static_pointer_cast<Dispatch>(collection));
}

int errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const AutomationError& error) {
        return error.number();
    }
    return 0;
}

TEST(JsonEncode, ValuesByKind) {
    struct Case {
        Variant value;
        const char* json;
    };
    const Case cases[] = {
        {Variant(), "null"},
        {Variant::null(), "null"},
        {Variant::missing(), "null"},
        {Variant(true), "true"},
        {Variant(false), "false"},
        {Variant(std::int32_t(-12)), "-12"},
        {Variant(0.5), "0.5"},
        {Variant(-0.25), "-0.25"},
        {Variant(1e20), "1E+20"},
        {Variant(1.5e-7), "1.5E-07"},
        {Variant(Currency{12345}), "1.2345"},
        {Variant(QStringLiteral("\t\"")), "\"\\t\\\"\""},
        {Variant(QString::fromUtf8("a/b\\c\r\n\x08\x0C")), "\"a/b\\\\c\\r\\n\\u0008\\u000C\""},
        {Variant(QString(QChar(0x00E9)) + QChar(0x8000) + QChar(0xFFFF)),
         "\"\xC3\xA9\\u8000\\uFFFF\""},
        {Variant(OleDate::fromDateTime(QDateTime(QDate(2024, 3, 1), QTime(14, 5, 9)))),
         "\"2024-03-01T14:05:09\""},
        {Variant(VariantArray{}), "[]"},
        {Variant(VariantArray{1, {Variant(1), Variant(QStringLiteral("x")), Variant()}}),
         "[1,\"x\",null]"},
        {Variant(DispatchPtr()), "null"},
        {collectionOf({{"a", Variant(1)}, {"b", Variant(QStringLiteral("x"))}}),
         "{\"a\":1,\"b\":\"x\"}"},
        {collectionOf({}), "{}"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(json::encode(c.value), QString::fromUtf8(c.json)) << c.json;
}

const TypeInfo widgetType{QStringLiteral("_Widget"), {}, {}, {}};

class Other : public DispatchObject {
public:
    Other()
        : DispatchObject(widgetType) {}
};

TEST(JsonEncode, OtherObjectsAreATypeMismatch) {
    try {
        json::encode(Variant(std::static_pointer_cast<Dispatch>(std::make_shared<Other>())));
        FAIL() << "no error";
    } catch (const AutomationError& error) {
        EXPECT_EQ(error.number(), 13);
        EXPECT_EQ(error.description(),
                  QStringLiteral("Unsupported object type for JSON encoding: Widget"));
    }
}

TEST(JsonParse, ScalarsAndNumbers) {
    EXPECT_EQ(json::parse("3.0"), Variant(std::int32_t(3)));
    EXPECT_EQ(json::parse("3.5"), Variant(3.5));
    EXPECT_EQ(json::parse("1e10"), Variant(1e10));
    EXPECT_EQ(json::parse("-2147483647"), Variant(std::int32_t(-2147483647)));
    EXPECT_EQ(json::parse("2147483648"), Variant(2147483648.0));
    EXPECT_EQ(json::parse("  true"), Variant(true));
    EXPECT_EQ(json::parse("false"), Variant(false));
    EXPECT_TRUE(json::parse("null").isNull());
    EXPECT_EQ(json::parse(""), Variant(std::int32_t(0))); // an empty run reads as 0
    EXPECT_EQ(json::parse("1.2.3"), Variant(1.2));        // the reader stops where it must
    EXPECT_EQ(json::parse("\"a\\u00e9\\/\\\"\\q\""), Variant(QString::fromUtf8("a\xC3\xA9/\"q")));
}

TEST(JsonParse, NumbersIgnoreTheProcessLocale) {
    const CommaDecimalLocale comma;
    ASSERT_TRUE(comma.active()) << "fr_FR.UTF-8 is not installed";
    EXPECT_EQ(json::parse("3.5"), Variant(3.5));
    EXPECT_EQ(json::parse("+2.25"), Variant(2.25));
    EXPECT_EQ(json::parse("-1.5e-3"), Variant(-0.0015));
    const Variant list = json::parse("[0.25,1e-3]");
    ASSERT_TRUE(list.isArray());
    EXPECT_EQ(list.toArray().items, (QList<Variant>{Variant(0.25), Variant(0.001)}));
    EXPECT_EQ(json::encode(Variant(0.5)), QStringLiteral("0.5"));
    EXPECT_EQ(json::encode(Variant(-1234.75)), QStringLiteral("-1234.75"));
}

TEST(JsonParse, ObjectsAndArrays) {
    const Variant object = json::parse("{\"A\":1,\"a\":2}");
    const auto collection = Collection::from(object);
    ASSERT_TRUE(collection);
    ASSERT_EQ(collection->count(), 1);
    EXPECT_EQ(collection->key(1), QStringLiteral("a"));
    EXPECT_EQ(collection->item(1), Variant(std::int32_t(2)));

    const Variant empty = json::parse(" [ ] ");
    ASSERT_TRUE(empty.isArray());
    EXPECT_EQ(empty.toArray().lowerBound, 0);
    EXPECT_EQ(empty.toArray().upperBound(), -1);

    const Variant nested = json::parse("{ \"list\" : [1, {\"k\": \"v\"}], \"n\": null }");
    const auto outer = Collection::from(nested);
    ASSERT_TRUE(outer);
    const VariantArray list = outer->item("LIST").toArray();
    ASSERT_EQ(list.items.size(), 2);
    EXPECT_EQ(Collection::from(list.items[1])->item("k"), Variant(QStringLiteral("v")));
    EXPECT_TRUE(outer->item("n").isNull());
    EXPECT_EQ(json::encode(nested), QStringLiteral("{\"list\":[1,{\"k\":\"v\"}],\"n\":null}"));

    qsizetype position = 1;
    json::parse("[1,2] tail", position);
    EXPECT_EQ(position, 6);
}

TEST(JsonParse, HostileInputEndsCleanly) {
    // Truncated input of every length ends without hanging.
    const QString full = QStringLiteral("{\"a\":[1,\"two\",{\"b\":\"\\u00e9\"}],\"c\":true}");
    for (qsizetype length = 0; length <= full.size(); ++length)
        json::parse(full.left(length));
    // Deep nesting is refused instead of exhausting the stack.
    EXPECT_EQ(errorOf([] { json::parse(QString(100000, QLatin1Char('['))); }), 5);
    EXPECT_EQ(errorOf([] {
                  json::parse(QString(600, QLatin1Char('[')) + QString(600, QLatin1Char(']')));
              }),
              5);
    EXPECT_EQ(errorOf([] {
                  json::parse(QString(300, QLatin1Char('[')) + QString(300, QLatin1Char(']')));
              }),
              0);
    EXPECT_EQ(json::parse("\"\\u12\""), Variant(QStringLiteral("u12")));
}

TEST(Collection, KeysOrderAndErrors) {
    auto collection = Collection::create();
    collection->add(Variant(1), "k1");
    collection->add(Variant(2));
    collection->add(Variant(3), "k3");
    EXPECT_EQ(json::collectionKeys(Variant(std::static_pointer_cast<Dispatch>(collection))),
              QStringLiteral("k1##k3"));
    EXPECT_EQ(
        json::collectionKeys(Variant(std::static_pointer_cast<Dispatch>(Collection::create()))),
        QString());
    EXPECT_EQ(errorOf([&] { collection->add(Variant(4), "K1"); }), 457);
    collection->remove("k1");
    EXPECT_EQ(collection->item(1), Variant(2));
    EXPECT_EQ(collection->item(2), Variant(3));
    EXPECT_EQ(errorOf([&] { collection->item(3); }), 9);
    EXPECT_EQ(errorOf([&] { collection->item("none"); }), 5);

    // Late-bound callers see Add, Count and the default member Item.
    collection->call("Add", {Variant(QStringLiteral("v")), Variant(QStringLiteral("key"))});
    EXPECT_EQ(collection->get("Count"), Variant(3));
    QList<Variant> index{Variant(QStringLiteral("KEY"))};
    EXPECT_EQ(collection->invoke(dispid::Value, InvokeFlags::PropertyGet, index),
              Variant(QStringLiteral("v")));
}

} // namespace
