// What a host sees of a load, event by event with every argument, and the
// files a load leaves in the instance folder: a first load that starts the
// browsers, a further load in the running viewer, and a click in the folder
// list must each give exactly these events, however the loads are carried out.

#include "ViewerFixture.h"

#include "platform/FileDialogHook.h"
#include "platform/MessagePump.h"
#include "platform/automation/ControlSite.h"
#include "platform/automation/EventSource.h"
#include "tests/common/DicomFiles.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QRegularExpression>

#include <algorithm>

namespace {

using testing_support::pydicomFile;

class EventSequence : public ViewerFixture {
protected:
    void SetUp() override {
        ViewerFixture::SetUp();
        // Every event a host can see, with its arguments; paint and pointer
        // events follow the window system and are left out.
        sink = viewer->eventSource()->advise(std::make_shared<FunctionEventSink>(
            [this](DispId, const QString& name, QList<Variant>& args) {
                if (name == "Paint" || name == "MouseMove")
                    return;
                QStringList values;
                for (const Variant& arg : args)
                    values.append(arg.typeName() + ':' + arg.toString());
                seen.append(name + '(' + values.join(", ").replace(environment.root(), "<root>") +
                            ')');
            }));
    }

    void TearDown() override {
        viewer->eventSource()->unadvise(sink);
        ViewerFixture::TearDown();
    }

    // The events from the start of a load until the page has told everything
    // about the image it shows, ending with its zoom in the final layout.
    QStringList loadEvents(const std::function<bool()>& start, const QString& finalZoom) {
        seen.clear();
        raised.clear();
        EXPECT_TRUE(start());
        EXPECT_TRUE(waitFor("ImageLoaded"));
        EXPECT_TRUE(
            pump::waitUntil([&] { return seen.contains(finalZoom); }, std::chrono::seconds(20)));
        settle();
        seen.removeIf([](const QString& event) {
            return event.startsWith("ToolSelected(String:UnknownTool");
        });
        return seen;
    }

    QStringList instanceFiles() const {
        return QDir(instanceFolder()).entryList(QDir::Files, QDir::Name);
    }

    QByteArray instanceFile(const QString& name) const {
        QFile file(instanceFolder() + name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    int sink = 0;
    QStringList seen;
};

// A load raises two streams of events. The load call raises its own, in order;
// the viewer's answers to the page come on the page's clock, also in order.
// How the two interleave depends on how soon the page has decoded the image
// (a large file answers after the call has returned), so each is compared on
// its own, and nothing may be left over. The page's zoom follows its
// drawings: it comes after the viewer's first answer, and before or after the
// others. A page that draws before the layout settles (beside the folder list)
// first reports the zoom of that narrower view.
struct Streams {
    QStringList call;
    QStringList page;
    QStringList zooms;
    QStringList others;
};

Streams split(const QStringList& events) {
    static const QRegularExpression callEvent(
        "^(Resize|BeforeLoading|TagsStatusChange|DicomListImageSelected)\\(");
    static const QRegularExpression pageEvent(
        "^(InvertStatusChange|SidebarStatusChange|ImageLoaded|ToolSelected)\\(");
    Streams streams;
    for (const QString& event : events) {
        if (callEvent.match(event).hasMatch())
            streams.call.append(event);
        else if (pageEvent.match(event).hasMatch())
            streams.page.append(event);
        else if (event.startsWith("ZoomChanged("))
            streams.zooms.append(event);
        else
            streams.others.append(event);
    }
    return streams;
}

void expectLoad(const QStringList& events, const QStringList& call, const QString& imageLoaded,
                const QString& finalZoom, const QString& earlierZoom = {}) {
    const Streams streams = split(events);
    EXPECT_EQ(streams.call, call);
    EXPECT_EQ(
        streams.page,
        QStringList({"InvertStatusChange(Boolean:False)", "SidebarStatusChange(Boolean:False)",
                     "ImageLoaded(" + imageLoaded + ")", "ToolSelected(String:Wwwc, Long:1)"}));
    ASSERT_FALSE(streams.zooms.isEmpty());
    EXPECT_EQ(streams.zooms.last(), finalZoom);
    const QStringList earlier = streams.zooms.mid(0, streams.zooms.size() - 1);
    EXPECT_TRUE(earlier.isEmpty() || earlier == QStringList{earlierZoom})
        << earlier.join("; ").toStdString();
    EXPECT_TRUE(streams.others.isEmpty()) << streams.others.join("; ").toStdString();
    const auto firstOf = [&events](const QString& name) {
        return std::find_if(events.begin(), events.end(),
                            [&name](const QString& event) { return event.startsWith(name); }) -
               events.begin();
    };
    EXPECT_GT(firstOf("ZoomChanged("), firstOf("InvertStatusChange("));
}

const QStringList LoadCall = {"Resize()", "BeforeLoading()", "Resize()",
                              "TagsStatusChange(Boolean:False)"};

const QString CtLoaded =
    "String:CT_small.dcm, Long:128, Long:128, String:CT, String:CompressedSamples^CT1, String:, "
    "String:20040119, Boolean:False, Integer:0, Integer:1, Double:0.661468, Double:0.661468, "
    "Boolean:False";

TEST_F(EventSequence, AFirstAndAFurtherLoadRaiseTheSameEventsWithTheSameArguments) {
    const QString ct = pydicomFile("CT_small.dcm");
    expectLoad(loadEvents([&] { return viewer->call("LoadDicomFile", {Variant(ct)}).toBool(); },
                          "ZoomChanged(Integer:466)"),
               LoadCall, CtLoaded, "ZoomChanged(Integer:466)");
    const QString mr = pydicomFile("MR_small.dcm");
    expectLoad(loadEvents([&] { return viewer->call("LoadDicomFile", {Variant(mr)}).toBool(); },
                          "ZoomChanged(Integer:931)"),
               LoadCall,
               "String:MR_small.dcm, Long:64, Long:64, String:MR, "
               "String:CompressedSamples^MR1, String:, String:20040826, "
               "Boolean:False, Integer:0, Integer:1, Double:0.3125, Double:0.3125, "
               "Boolean:False",
               "ZoomChanged(Integer:931)");
    EXPECT_EQ(instanceFiles(), QStringList({"KDVAX_MONO.html", "KDVAX_SR.html", "KDVAX_TAGS.html",
                                            "MR_small.dcm", "liste.js"}));
    QFile original(mr);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    EXPECT_EQ(instanceFile("MR_small.dcm"), original.readAll());
    EXPECT_EQ(instanceFile("liste.js"),
              QByteArray("window.dicomFileList = [\r\n\"MR_small.dcm\"\r\n];\r\n"));
}

TEST_F(EventSequence, AClickInTheFolderListRaisesTheLoadEventsThenTheSelection) {
    const QString folder = environment.root() + "/study/";
    QDir().mkpath(folder);
    ASSERT_TRUE(QFile::copy(pydicomFile("CT_small.dcm"), folder + "CT_small.dcm"));
    filedialogs::setHook([&](const filedialogs::Request&) {
        return std::optional<filedialogs::Answer>(filedialogs::Answer{{folder}, 0});
    });
    QList<Variant> args{Variant(folder), Variant(std::int16_t(1))};
    seen.clear();
    EXPECT_TRUE(viewer->invokeByName("LoadDirectory", InvokeFlags::Method, args).toBool());
    filedialogs::setHook(nullptr);
    EXPECT_EQ(seen, QStringList({"BeforeLoading()", "Resize()"}));
    auto* list = viewer->control()->widget()->findChild<QListWidget*>("ListFile");
    ASSERT_TRUE(list);
    ASSERT_EQ(list->count(), 1);
    // The page takes the whole width once the list is hidden.
    expectLoad(loadEvents(
                   [&] {
                       list->setCurrentRow(0);
                       return true;
                   },
                   "ZoomChanged(Integer:466)"),
               {"BeforeLoading()", "Resize()", "TagsStatusChange(Boolean:False)",
                "DicomListImageSelected(String:<root>/study/CT_small.dcm)"},
               CtLoaded, "ZoomChanged(Integer:466)", "ZoomChanged(Integer:410)");
}

} // namespace
