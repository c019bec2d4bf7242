#include "viewer/MeasurementList.h"
#include "tests/common/QtPrinters.h"
#include "viewer/OpenStack.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

QString change(const QString& id, const QString& action, double length = 1) {
    return QString::fromUtf8(
        QJsonDocument(QJsonObject{{"id", id},
                                  {"action", action},
                                  {"measurement", QJsonObject{{"id", "page-wrote-this"},
                                                              {"tool", "Length"},
                                                              {"length_mm", length}}}})
            .toJson(QJsonDocument::Compact));
}

TEST(MeasurementList, FollowsTheChangesThePageReportsInOrder) {
    MeasurementList list;
    ASSERT_TRUE(list.apply(change("a-1", "added")));
    ASSERT_TRUE(list.apply(change("b-2", "added")));
    const auto modified = list.apply(change("a-1", "modified", 7));
    ASSERT_TRUE(modified);
    EXPECT_EQ(modified->action, "modified");
    // The measurement carries the message's id, whatever the page wrote in it.
    EXPECT_TRUE(modified->json.contains("\"id\":\"a-1\""));
    const QJsonArray all = QJsonDocument::fromJson(list.json().toUtf8()).array();
    ASSERT_EQ(all.size(), 2);
    EXPECT_EQ(all[0].toObject()["length_mm"].toDouble(), 7);
    EXPECT_EQ(all[1].toObject()["id"].toString(), "b-2");
    const auto removed = list.apply(change("a-1", "removed"));
    ASSERT_TRUE(removed);
    EXPECT_TRUE(removed->json.contains("\"length_mm\":7")) << "the removed one as it was";
    EXPECT_FALSE(list.contains("a-1"));
    EXPECT_TRUE(list.contains("b-2"));
}

TEST(MeasurementList, MessagesThatDoNotHoldTogetherChangeNothing) {
    MeasurementList list;
    ASSERT_TRUE(list.apply(change("a", "added")));
    EXPECT_FALSE(list.apply(change("a", "added"))) << "added twice";
    EXPECT_FALSE(list.apply(change("ghost", "modified")));
    EXPECT_FALSE(list.apply(change("ghost", "removed")));
    EXPECT_FALSE(list.apply(change("a", "renamed")));
    EXPECT_FALSE(list.apply(change("", "added")));
    EXPECT_FALSE(list.apply(change("<b>x</b>", "added")));
    EXPECT_FALSE(list.apply(change(QString(65, 'x'), "added")));
    EXPECT_FALSE(list.apply("not json"));
    EXPECT_FALSE(list.apply("{\"id\":\"c\",\"action\":\"added\"}")) << "no measurement";
    EXPECT_EQ(QJsonDocument::fromJson(list.json().toUtf8()).array().size(), 1);
    for (int i = 0; i < MeasurementList::MaxMeasurements + 5; ++i)
        list.apply(change(QString("m-%1").arg(i), "added"));
    EXPECT_EQ(QJsonDocument::fromJson(list.json().toUtf8()).array().size(),
              MeasurementList::MaxMeasurements);
}

TEST(OpenStack, MapsImagesToFilesAndFramesWithinItsLimits) {
    const OpenStack stack({{"/s/a.dcm", 1}, {"/s/cine.dcm", 3}, {"/s/b.dcm", 0}, {"/s/c.dcm", -7}},
                          1);
    EXPECT_EQ(stack.count(), 6) << "a frame count below one counts as one";
    EXPECT_EQ(stack.firstImage(), 1);
    EXPECT_FALSE(stack.isSingleImage());
    const auto third = stack.placeOf(3);
    ASSERT_TRUE(third);
    EXPECT_EQ(third->file, 1);
    EXPECT_EQ(third->frame, 2);
    EXPECT_EQ(stack.placeOf(4)->file, 2);
    EXPECT_FALSE(stack.placeOf(6));
    EXPECT_FALSE(stack.placeOf(-1));
    EXPECT_EQ(stack.imageOf(3), 5);
    EXPECT_EQ(stack.fileOf("/s/b.dcm"), 2);
    EXPECT_FALSE(stack.fileOf("/s/none.dcm"));

    const OpenStack huge({{"/s/x.dcm", 1 << 30}, {"/s/y.dcm", 1 << 30}}, 0);
    EXPECT_EQ(huge.count(), OpenStack::MaxFramesPerFile * 2);
    EXPECT_TRUE(OpenStack({{"/s/one.dcm", 1}}, 0).isSingleImage());
}

TEST(OpenStack, ThePageScriptHoldsNamesAsDataNeverAsScript) {
    const QString odd = QStringLiteral("/s/a\"b\\c\u2028</script>?frame=2#x.dcm");
    const OpenStack stack({{"/s/first.dcm", 1}, {odd, 2}}, 0);
    const QString script = stack.pageScript(128 << 20);
    ASSERT_TRUE(script.startsWith("window.dicomStack = "));
    EXPECT_FALSE(script.contains(QChar(0x2028)));
    const QString json = script.mid(20, script.lastIndexOf(';') - 20);
    const QJsonObject parsed = QJsonDocument::fromJson(json.toUtf8()).object();
    ASSERT_FALSE(parsed.isEmpty()) << json.toStdString();
    EXPECT_EQ(parsed["count"].toInt(), 3);
    EXPECT_EQ(parsed["cacheBytes"].toDouble(), 128 << 20);
    const QJsonArray files = parsed["files"].toArray();
    EXPECT_TRUE(files[0].toObject()["url"].isNull()) << "the current file is the working copy";
    const QString url = files[1].toObject()["url"].toString();
    EXPECT_FALSE(url.contains('?'));
    EXPECT_FALSE(url.contains('#'));
    EXPECT_FALSE(url.contains('='));
    EXPECT_EQ(QUrl(url).toLocalFile(), odd);
    EXPECT_EQ(files[1].toObject()["name"].toString(), odd.section('/', -1));
}

} // namespace
