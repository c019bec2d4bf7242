// A stack seen from the page: measurements stay on their image, the view
// (zoom, inversion, window) is kept across images, the cache keeps to its
// budget, and the stack's properties persist.

#include "ViewerFixture.h"

#include "platform/MessagePump.h"
#include "platform/automation/AutomationError.h"
#include "platform/automation/ControlSite.h"
#include "tests/common/QtPrinters.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QWebEnginePage>

namespace {

class StackView : public ViewerFixture {
protected:
    QWebEnginePage* imagePage() const { return browserPage("KestWebViewKD1"); }

    // The slices' names from the head down, of a series pydicom writes.
    QStringList makeSeries(const QString& folder, int slices) {
        QProcess python;
        python.start(QStringLiteral(KEST_SYSTEM_PYTHON),
                     {QStringLiteral(KEST_STACK_SERIES_SCRIPT), folder, QString::number(slices)});
        python.waitForFinished(60000);
        QStringList order;
        const QJsonObject made = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
        for (const QJsonValue& name : made["order"].toArray())
            order.append(name.toString());
        return order;
    }

    // Shows an image of the stack and waits until the host has heard of it.
    bool show(int index) {
        raised.clear();
        viewer->put("StackIndex", Variant(std::int32_t(index)));
        return pump::waitUntil(
            [&] {
                const Raised* changed = find("StackImageChanged");
                return changed && changed->args.value(0).toLong() == index;
            },
            std::chrono::seconds(30));
    }

    QJsonObject pageState() const {
        return QJsonDocument::fromJson(evaluate(imagePage(), R"js(JSON.stringify((function () {
            var element = document.getElementById('image');
            var viewport = cornerstone.getViewport(element);
            var lengths = cornerstoneTools.getToolState(element, 'Length');
            return { scale: viewport.scale, invert: viewport.invert, center: viewport.voi.windowCenter,
                     width: viewport.voi.windowWidth,
                     lengths: lengths ? lengths.data.map(function (d) {
                         return [d.handles.start.x, d.handles.start.y, d.handles.end.x, d.handles.end.y];
                     }) : [] };
        })()))js")
                                           .toString()
                                           .toUtf8())
            .object();
    }
};

TEST_F(StackView, AMeasurementStaysOnItsImageAndTheViewIsKeptAcrossImages) {
    const QString folder = environment.root() + "/series";
    const QStringList order = makeSeries(folder, 30);
    ASSERT_EQ(order.size(), 30);
    viewer->put("StackMode", Variant(true));
    ASSERT_TRUE(loadFile(folder + '/' + order[10]));
    EXPECT_EQ(viewer->get("StackIndex").toLong(), 10);
    // A length on slice 10, a zoom, an inversion and a window of the user's own.
    evaluate(imagePage(), R"js((function () {
        var element = document.getElementById('image');
        cornerstoneTools.addToolState(element, 'Length', { visible: true, active: false, handles: {
            start: { x: 4, y: 5, highlight: true, active: false },
            end: { x: 20, y: 22, highlight: true, active: false },
            textBox: { active: false, hasMoved: false, movesIndependently: false, drawnIndependently: true,
                       allowedOutsideImage: true, hasBoundingBox: true } } });
        var viewport = cornerstone.getViewport(element);
        viewport.voi = { windowCenter: 30, windowWidth: 50 };
        cornerstone.setViewport(element, viewport);
        return true;
    })())js");
    viewer->put("dcmZoomFactor", Variant(std::int16_t(300)));
    viewer->call("SelectTool", {Variant(std::int16_t(11))});
    ASSERT_TRUE(waitFor("InvertStatusChange"));

    ASSERT_TRUE(show(20));
    EXPECT_EQ(viewer->get("dcmFileName").toString(), order[20]);
    const QJsonObject away = pageState();
    EXPECT_EQ(away["lengths"].toArray(), QJsonArray()) << "the length is not drawn on slice 20";
    EXPECT_DOUBLE_EQ(away["scale"].toDouble(), 3.0);
    EXPECT_TRUE(away["invert"].toBool());
    EXPECT_EQ(away["center"].toDouble(), 30);
    EXPECT_EQ(away["width"].toDouble(), 50);

    ASSERT_TRUE(show(10));
    const QJsonObject back = pageState();
    EXPECT_EQ(back["lengths"].toArray(), QJsonArray({QJsonArray({4, 5, 20, 22})}));
    EXPECT_TRUE(back["invert"].toBool());
    EXPECT_EQ(viewer->get("dcmFileName").toString(), order[10]);
}

TEST_F(StackView, TheCacheKeepsToItsBudgetAndLetsGoOfTheFilesItDrops) {
    const QString folder = environment.root() + "/series";
    // 40 slices of 32x32 16-bit pixels, 2 KiB each: a budget of 16 MiB keeps them all.
    const QStringList order = makeSeries(folder, 40);
    ASSERT_EQ(order.size(), 40);
    viewer->put("StackMode", Variant(true));
    viewer->put("CacheSizeMB", Variant(std::int32_t(16)));
    ASSERT_TRUE(loadFile(folder + '/' + order[0]));
    for (int index = 1; index < 40; ++index)
        ASSERT_TRUE(show(index)) << index;
    const auto cacheState = [this](const char* change) {
        return QJsonDocument::fromJson(
                   evaluate(imagePage(), QStringLiteral(R"js(JSON.stringify((function () {
            %1
            return { images: cornerstone.imageCache.getCacheInfo().numberOfImagesCached,
                     dataSets: cornerstoneWADOImageLoader.wadouri.dataSetCacheManager.getInfo()
                         .numberOfDataSetsCached,
                     bytes: cornerstoneWADOImageLoader.wadouri.dataSetCacheManager.getInfo()
                         .cacheSizeInBytes };
        })()))js")
                                             .arg(QLatin1String(change)))
                       .toString()
                       .toUtf8())
            .object();
    };
    const QJsonObject all = cacheState("");
    EXPECT_EQ(all["images"].toInt(), 40);
    // Decoded slices keep their files' headers only, not a second copy of their pixels.
    EXPECT_LT(all["bytes"].toInt(), 40 * 2048);
    // A budget of four images makes the cache let go of those shown least
    // recently, and of their files' data.
    const QJsonObject four = cacheState("cornerstone.imageCache.setMaximumSizeBytes(4 * 2048);");
    EXPECT_LE(four["images"].toInt(), 4);
    EXPECT_LE(four["dataSets"].toInt(), four["images"].toInt() + 1);
}

TEST_F(StackView, StackModeAndTheCacheSizePersistAndAreChecked) {
    PropertyBag bag;
    viewer->put("StackMode", Variant(true));
    viewer->put("CacheSizeMB", Variant(std::int32_t(128)));
    viewer->control()->save(bag);
    EXPECT_EQ(bag.read("StackMode", Variant(false)), Variant(true));
    EXPECT_EQ(bag.read("CacheSizeMB", Variant(0)).toLong(), 128);
    EXPECT_THROW(viewer->put("CacheSizeMB", Variant(std::int32_t(8))), AutomationError);
    EXPECT_EQ(viewer->get("CacheSizeMB").toLong(), 128);
    PropertyBag edited;
    edited.write("CacheSizeMB", Variant(QStringLiteral("lots")));
    viewer->control()->load(edited);
    EXPECT_EQ(viewer->get("StackMode"), Variant(false));
    EXPECT_EQ(viewer->get("CacheSizeMB").toLong(), 512);
    // Without an image there is no stack to step.
    EXPECT_EQ(viewer->get("StackCount").toLong(), 0);
    EXPECT_THROW(viewer->put("StackIndex", Variant(std::int32_t(0))), AutomationError);
}

} // namespace
