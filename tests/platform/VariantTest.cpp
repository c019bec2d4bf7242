#include "platform/automation/Variant.h"
#include "platform/automation/AutomationError.h"
#include "tests/common/QtPrinters.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

int errorNumberOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const AutomationError& error) {
        return error.number();
    }
    return 0;
}

TEST(Variant, EmptyNullAndMissingAreDistinct) {
    const Variant empty;
    const Variant null = Variant::null();
    const Variant missing = Variant::missing();
    EXPECT_TRUE(empty.isEmpty());
    EXPECT_FALSE(empty.isNull());
    EXPECT_TRUE(null.isNull());
    EXPECT_FALSE(null.isMissing());
    EXPECT_TRUE(missing.isMissing());
    EXPECT_TRUE(missing.isError());
    EXPECT_FALSE(Variant::error(5).isMissing());
    EXPECT_EQ(empty.type(), VarType::Empty);
    EXPECT_EQ(null.type(), VarType::Null);
    EXPECT_EQ(missing.type(), VarType::Error);
    EXPECT_NE(empty, null);
}

TEST(Variant, BooleanIsMinusOneAndZero) {
    EXPECT_EQ(Variant(true).toVBool(), -1);
    EXPECT_EQ(Variant(false).toVBool(), 0);
    EXPECT_EQ(Variant(true).toInteger(), -1);
    EXPECT_EQ(Variant(true).toLong(), -1);
    EXPECT_EQ(Variant(true).toString(), QStringLiteral("True"));
    EXPECT_EQ(Variant(std::int16_t(1)).toVBool(), VTrue);
    EXPECT_EQ(Variant(QStringLiteral(" false ")).toBool(), false);
    EXPECT_EQ(Variant(QStringLiteral("TRUE")).toBool(), true);
    EXPECT_EQ(Variant(QStringLiteral("0")).toBool(), false);
    EXPECT_EQ(Variant(0.5).toBool(), true);
    EXPECT_EQ(Variant().toBool(), false);
    // A raw 16-bit Boolean keeps its value: nonzero is true, only -1 is True.
    const Variant raw = Variant::fromVBool(1);
    EXPECT_EQ(raw.type(), VarType::Boolean);
    EXPECT_TRUE(raw.toBool());
    EXPECT_EQ(raw.toVBool(), 1);
    EXPECT_EQ(raw.convertTo(VarType::Boolean).toVBool(), 1);
    EXPECT_EQ(Variant(std::int16_t(1)).convertTo(VarType::Boolean).toVBool(), VTrue);
    EXPECT_EQ(Variant::fromVBool(VTrue), Variant(true));
}

struct ConversionCase {
    Variant input;
    VarType target;
    Variant expected;
};

TEST(Variant, ConversionsFollowTheAutomationRules) {
    const ConversionCase cases[] = {
        {Variant(2.5), VarType::Integer, Variant(std::int16_t(2))}, // half to even
        {Variant(3.5), VarType::Integer, Variant(std::int16_t(4))},
        {Variant(-2.5), VarType::Long, Variant(std::int32_t(-2))},
        {Variant(QStringLiteral(" 42 ")), VarType::Long, Variant(std::int32_t(42))},
        {Variant(QStringLiteral("&HFF")), VarType::Long, Variant(std::int32_t(255))},
        {Variant(QStringLiteral("1.25")), VarType::Double, Variant(1.25)},
        {Variant(std::int32_t(7)), VarType::String, Variant(QStringLiteral("7"))},
        {Variant(0.1), VarType::String, Variant(QStringLiteral("0.1"))},
        {Variant(1e20), VarType::String, Variant(QStringLiteral("1E+20"))},
        {Variant(1e-5), VarType::String, Variant(QStringLiteral("1E-05"))},
        {Variant(), VarType::Long, Variant(std::int32_t(0))},
        {Variant(), VarType::String, Variant(QString())},
        {Variant(1.23456), VarType::Currency, Variant(Currency{12346})},
        {Variant(Currency{12345678}), VarType::Double, Variant(1234.5678)},
        {Variant(Currency{15000}), VarType::String, Variant(QStringLiteral("1.5"))},
        {Variant(Currency{-12345}), VarType::String, Variant(QStringLiteral("-1.2345"))},
        {Variant(Currency{-9000}), VarType::String, Variant(QStringLiteral("-0.9"))},
        {Variant(std::uint8_t(200)), VarType::Integer, Variant(std::int16_t(200))},
        {Variant(QStringLiteral("x")), VarType::Variant, Variant(QStringLiteral("x"))},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.input.convertTo(c.target), c.expected)
            << c.input.typeName().toStdString() << " -> " << int(c.target);
    }
}

TEST(Variant, BadConversionsRaiseTheirErrors) {
    struct Case {
        std::function<void()> action;
        int number;
    };
    const Case cases[] = {
        {[] { Variant(QStringLiteral("abc")).toLong(); }, vberr::TypeMismatch},
        {[] { Variant(QString()).toDouble(); }, vberr::TypeMismatch},
        {[] { Variant(QStringLiteral("maybe")).toBool(); }, vberr::TypeMismatch},
        {[] { Variant(40000).toInteger(); }, vberr::Overflow},
        {[] { Variant(std::int32_t(256)).toByte(); }, vberr::Overflow},
        {[] { Variant(3e9).toLong(); }, vberr::Overflow},
        {[] { Variant(1e300).toSingle(); }, vberr::Overflow},
        {[] { Variant::null().toLong(); }, vberr::InvalidUseOfNull},
        {[] { Variant::null().toString(); }, vberr::InvalidUseOfNull},
        {[] { Variant::missing().toLong(); }, vberr::TypeMismatch},
        {[] { Variant(std::int32_t(1)).toObject(); }, vberr::TypeMismatch},
        {[] { Variant(VariantArray{}).toString(); }, vberr::TypeMismatch},
        {[] { Variant(DispatchPtr()).toString(); }, vberr::ObjectNotSet},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(errorNumberOf(cases[i].action), cases[i].number) << "case " << i;
}

TEST(Variant, ArraysKeepTheirBounds) {
    VariantArray array{-2, {Variant(1), Variant(QStringLiteral("two")), Variant(3.0)}};
    EXPECT_EQ(array.upperBound(), 0);
    const Variant value(array);
    EXPECT_TRUE(value.isArray());
    EXPECT_EQ(value.type(), VarType::Array);
    EXPECT_EQ(value.toArray().lowerBound, -2);
    EXPECT_EQ(value.toArray().items.at(1), Variant(QStringLiteral("two")));
    EXPECT_EQ(value, Variant(array));

    const Variant bytes = Variant::fromBytes(QByteArray("\x01\xFF", 2), 1);
    EXPECT_EQ(bytes.elementType(), VarType::Byte);
    EXPECT_EQ(bytes.toArray().lowerBound, 1);
    EXPECT_EQ(bytes.toArray().items.at(1), Variant(std::uint8_t(255)));
    EXPECT_EQ(Variant(VariantArray{0, {Variant(std::uint8_t(1)), Variant(255)}}).toBytes(),
              QByteArray("\x01\xFF", 2));
}

TEST(Variant, DatesRoundTripThroughOleDays) {
    const QDateTime noon(QDate(2024, 2, 29), QTime(12, 0));
    const OleDate date = OleDate::fromDateTime(noon);
    EXPECT_DOUBLE_EQ(date.value, 45351.5);
    EXPECT_EQ(date.toDateTime(), noon);
    EXPECT_EQ(OleDate{0}.toDateTime().date(), QDate(1899, 12, 30));
    // Before the epoch the day counts back and the time still counts forward.
    EXPECT_EQ(OleDate{-1.25}.toDateTime(), QDateTime(QDate(1899, 12, 29), QTime(6, 0)));
    EXPECT_EQ(Variant(QStringLiteral("2024-02-29T12:00:00")).toDate(), date);
    EXPECT_EQ(Variant(date).toString(), QStringLiteral("2024-02-29 12:00:00"));
}

TEST(AutomationError, CarriesNumberSourceDescriptionAndHResult) {
    const AutomationError error = AutomationError::standard(vberr::TypeMismatch, "Viewer");
    EXPECT_EQ(error.number(), 13);
    EXPECT_EQ(error.description(), QStringLiteral("Type mismatch"));
    EXPECT_EQ(error.source(), QStringLiteral("Viewer"));
    EXPECT_EQ(static_cast<std::uint32_t>(error.hresult()), 0x800A000Du);
    const AutomationError back = AutomationError::fromHResult(error.hresult());
    EXPECT_EQ(back.number(), 13);
    EXPECT_EQ(back.description(), QStringLiteral("Type mismatch"));
    const AutomationError custom(666, "Start-up failed", "KestWebView2");
    EXPECT_EQ(AutomationError::fromHResult(custom.hresult()).number(), 666);
    EXPECT_EQ(AutomationError::fromHResult(hr::E_FAIL).number(), hr::E_FAIL);
}

} // namespace
