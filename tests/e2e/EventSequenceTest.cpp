// What a host sees of a load, event by event with every argument, and the
// files a load leaves in the instance folder: a first load that starts the
// browsers, a further load in the running viewer, and a click in the folder
// list must each give exactly this sequence, however the loads are carried out.

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
    // about the image it shows.
    QStringList loadEvents(const std::function<bool()>& start, int zoomChanges = 1) {
        seen.clear();
        raised.clear();
        EXPECT_TRUE(start());
        EXPECT_TRUE(waitFor("ImageLoaded"));
        EXPECT_TRUE(
            pump::waitUntil([&] { return seen.filter("ZoomChanged(").size() >= zoomChanges; },
                            std::chrono::seconds(20)));
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

// What a load shows of CT_small.dcm in the fixture's 800x600 window.
QStringList shown(const QString& zoom, const QString& imageLoaded) {
    return {"Resize()",
            "BeforeLoading()",
            "InvertStatusChange(Boolean:False)",
            "ZoomChanged(Integer:" + zoom + ")",
            "SidebarStatusChange(Boolean:False)",
            "ImageLoaded(" + imageLoaded + ")",
            "ToolSelected(String:Wwwc, Long:1)",
            "Resize()",
            "TagsStatusChange(Boolean:False)"};
}

const QString CtLoaded =
    "String:CT_small.dcm, Long:128, Long:128, String:CT, String:CompressedSamples^CT1, String:, "
    "String:20040119, Boolean:False, Integer:0, Integer:1, Double:0.661468, Double:0.661468, "
    "Boolean:False";

TEST_F(EventSequence, AFirstAndAFurtherLoadRaiseTheSameEventsWithTheSameArguments) {
    const QString ct = pydicomFile("CT_small.dcm");
    EXPECT_EQ(loadEvents([&] { return viewer->call("LoadDicomFile", {Variant(ct)}).toBool(); }),
              shown("466", CtLoaded));
    const QString mr = pydicomFile("MR_small.dcm");
    EXPECT_EQ(loadEvents([&] { return viewer->call("LoadDicomFile", {Variant(mr)}).toBool(); }),
              shown("931", "String:MR_small.dcm, Long:64, Long:64, String:MR, "
                           "String:CompressedSamples^MR1, String:, String:20040826, "
                           "Boolean:False, Integer:0, Integer:1, Double:0.3125, Double:0.3125, "
                           "Boolean:False"));
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
    // The page is narrower beside the list, then takes the whole width once the list is hidden.
    QStringList expected = shown("410", CtLoaded).mid(1);
    expected.append("DicomListImageSelected(String:<root>/study/CT_small.dcm)");
    QStringList events = loadEvents(
        [&] {
            list->setCurrentRow(0);
            return true;
        },
        2);
    // The page answers the wider view with a new zoom on its own clock: once
    // the image is loaded, anywhere among the events that follow.
    const qsizetype rezoomed = events.lastIndexOf("ZoomChanged(Integer:466)");
    EXPECT_GT(rezoomed, events.indexOf(QRegularExpression("^ImageLoaded\\(")));
    if (rezoomed >= 0)
        events.removeAt(rezoomed);
    EXPECT_EQ(events, expected);
}

} // namespace
