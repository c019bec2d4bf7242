// The tags page against the loads: it follows each file by itself, shows the
// new file's tags as soon as the host is told the image has loaded, and a load
// that stops half-way leaves neither page showing the previous file.

#include "ViewerFixture.h"

#include "platform/MessagePump.h"
#include "platform/automation/AutomationError.h"
#include "platform/automation/EventSource.h"
#include "tests/common/DicomFiles.h"

#include <QDir>
#include <QWebEnginePage>

#include <algorithm>
#include <optional>

namespace {

using testing_support::pydicomFile;

class TagsPage : public ViewerFixture {
protected:
    QWebEnginePage* tagsPage() const { return browserPage("KestWebViewKD2"); }
    QWebEnginePage* imagePage() const { return browserPage("KestWebViewKD1"); }

    // The text of the tags table once the tags page has read its file and the
    // table holds the text expected, else what it holds after 20 s.
    QString tagsText(const QString& expected) const {
        QWebEnginePage* page = tagsPage();
        QString text;
        const auto holds = [&] {
            if (page->url().fileName() != "KDVAX_TAGS.html" ||
                evaluate(page, "document.body && document.body.getAttribute('data-state')")
                        .toString() != "done")
                return false;
            text = evaluate(page, "document.getElementById('tags').textContent").toString();
            return text.contains(expected);
        };
        if (page)
            pump::waitUntil(holds, std::chrono::seconds(20));
        return text;
    }

    bool tagsHold(const QString& expected) const { return tagsText(expected).contains(expected); }

    // Loads the pydicom file while a host shows the tags from its ImageLoaded handler: whether
    // the viewer then said they were shown; nothing when the load failed or raised no ImageLoaded.
    std::optional<bool> loadShowingTheTagsOnImageLoaded(const char* name) {
        std::optional<bool> shownOnLoad;
        const int sink = viewer->eventSource()->advise(
            std::make_shared<FunctionEventSink>([&](DispId, const QString& event, QList<Variant>&) {
                if (event != "ImageLoaded" || shownOnLoad)
                    return;
                viewer->put("DisplayDicomTags", Variant(true));
                shownOnLoad = viewer->get("DisplayDicomTags").toBool();
            }));
        const bool loaded = loadFile(pydicomFile(name));
        viewer->eventSource()->unadvise(sink);
        return loaded ? shownOnLoad : std::nullopt;
    }

    static bool showsPlaceholder(QWebEnginePage* page) {
        return pump::waitUntil([page] { return page->title() == "Kest Dicom View"; },
                               std::chrono::seconds(20));
    }
};

TEST_F(TagsPage, TheTagsFollowEachLoadAndAreTheNewFilesWhenTheImageHasLoaded) {
    ASSERT_TRUE(loadDemo());
    // Not shown, the tags page still reads the file.
    const QString first = tagsText("CompressedSamples^CT1");
    EXPECT_TRUE(first.contains("CompressedSamples^CT1")) << first.left(200).toStdString();

    // A host that shows the tags from its ImageLoaded handler sees the new file's.
    const std::optional<bool> shownOnLoad = loadShowingTheTagsOnImageLoaded("MR_small.dcm");
    ASSERT_TRUE(shownOnLoad.has_value()) << "no load, or no ImageLoaded";
    EXPECT_TRUE(*shownOnLoad);
    const auto shown = std::find_if(raised.begin(), raised.end(), [](const Raised& event) {
        return event.name == "TagsStatusChange" && event.args.value(0) == Variant(true);
    });
    EXPECT_NE(shown, raised.end());
    const QString second = tagsText("CompressedSamples^MR1");
    EXPECT_TRUE(second.contains("CompressedSamples^MR1")) << second.left(200).toStdString();
    EXPECT_FALSE(second.contains("CompressedSamples^CT1"));
}

// On the first load the tags browser still shows its placeholder page when the image has loaded:
// a host that shows the tags from that load's ImageLoaded handler still sees the file's own, and
// the tags page then follows the next load.
TEST_F(TagsPage, OnTheFirstLoadTheTagsShownFromImageLoadedAreTheFilesOwn) {
    const std::optional<bool> shownOnLoad = loadShowingTheTagsOnImageLoaded("MR_small.dcm");
    ASSERT_TRUE(shownOnLoad.has_value()) << "no load, or no ImageLoaded";
    EXPECT_TRUE(*shownOnLoad);
    EXPECT_TRUE(tagsHold("CompressedSamples^MR1"));
    viewer->put("DisplayDicomTags", Variant(false));
    ASSERT_TRUE(loadFile(pydicomFile("CT_small.dcm")));
    EXPECT_TRUE(tagsHold("CompressedSamples^CT1"));
}

// The tags page behind the image is hidden from the engine; the image page,
// which must draw to answer a load, is never hidden, not even behind the tags.
TEST_F(TagsPage, OnlyTheTagsPageBehindTheImageIsHidden) {
    const auto visibility = [](QWebEnginePage* page) {
        return evaluate(page, "document.visibilityState").toString();
    };
    ASSERT_TRUE(loadDemo());
    ASSERT_TRUE(tagsHold("CompressedSamples^CT1"));
    EXPECT_EQ(visibility(tagsPage()), "hidden");
    EXPECT_EQ(visibility(imagePage()), "visible");
    viewer->put("DisplayDicomTags", Variant(true));
    EXPECT_EQ(viewer->get("DisplayDicomTags"), Variant(true));
    EXPECT_EQ(visibility(tagsPage()), "visible");
    EXPECT_EQ(visibility(imagePage()), "visible");
    viewer->put("DisplayDicomTags", Variant(false));
    EXPECT_EQ(visibility(tagsPage()), "hidden");

    // Loads that show the tags first still draw the image and report it.
    viewer->put("ShowTagsOnLoad", Variant(true));
    for (const char* name : {"MR_small.dcm", "CT_small.dcm"}) {
        ASSERT_TRUE(loadFile(pydicomFile(name))) << name;
        EXPECT_EQ(viewer->get("DisplayDicomTags"), Variant(true));
        EXPECT_EQ(find("ImageLoaded")->args.value(0).toString(), name);
        EXPECT_EQ(visibility(imagePage()), "visible");
        EXPECT_EQ(visibility(tagsPage()), "visible");
    }
    EXPECT_TRUE(tagsHold("CompressedSamples^CT1"));
}

// Loads asked for one after the other, each before the page has answered the
// one before: the tags that follow are the last file's.
TEST_F(TagsPage, LoadsInQuickSuccessionEndWithTheLastFilesTags) {
    ASSERT_TRUE(loadDemo());
    raised.clear();
    for (const char* name : {"MR_small.dcm", "CT_small.dcm", "MR_small.dcm"})
        ASSERT_TRUE(viewer->call("LoadDicomFile", {Variant(pydicomFile(name))}).toBool()) << name;
    ASSERT_TRUE(pump::waitUntil(
        [&] {
            return viewer->get("dcmFile").toString() == "MR_small.dcm" &&
                   viewer->get("dcmModality").toString() == "MR";
        },
        std::chrono::seconds(20)));
    const QString text = tagsText("CompressedSamples^MR1");
    EXPECT_TRUE(text.contains("CompressedSamples^MR1")) << text.left(200).toStdString();
    viewer->put("DisplayDicomTags", Variant(true));
    EXPECT_EQ(viewer->get("DisplayDicomTags"), Variant(true));
}

TEST_F(TagsPage, ALoadThatStopsHalfWayLeavesNeitherPageOfThePreviousFile) {
    ASSERT_TRUE(loadDemo());
    ASSERT_TRUE(tagsHold("CompressedSamples^CT1"));
    // A folder where the working copy goes: the copy cannot be written.
    ASSERT_TRUE(QDir().mkpath(instanceFolder() + "MR_small.dcm"));
    raised.clear();
    bool failed = false;
    try {
        viewer->call("LoadDicomFile", {Variant(pydicomFile("MR_small.dcm"))});
    } catch (const AutomationError&) {
        failed = true;
    }
    EXPECT_TRUE(failed);
    EXPECT_TRUE(showsPlaceholder(imagePage())) << imagePage()->title().toStdString();
    EXPECT_TRUE(showsPlaceholder(tagsPage())) << tagsPage()->title().toStdString();
    EXPECT_EQ(find("ImageLoaded"), nullptr);
    // With no tags page, the tags cannot be shown.
    raised.clear();
    viewer->put("DisplayDicomTags", Variant(true));
    ASSERT_NE(find("TagsStatusChange"), nullptr);
    EXPECT_EQ(find("TagsStatusChange")->args.value(0), Variant(false));
}

TEST_F(TagsPage, AFileGoneBeforeTheLoadReadsItClearsTheImagePage) {
    ASSERT_TRUE(loadDemo());
    const QString path = environment.root() + "/gone.dcm";
    ASSERT_TRUE(QFile::copy(pydicomFile("MR_small.dcm"), path));
    // The host's Resize handler, run by the load's layout, removes the file.
    const int sink = viewer->eventSource()->advise(
        std::make_shared<FunctionEventSink>([&](DispId, const QString& name, QList<Variant>&) {
            if (name == "Resize")
                QFile::remove(path);
        }));
    const bool loaded = viewer->call("LoadDicomFile", {Variant(path)}).toBool();
    viewer->eventSource()->unadvise(sink);
    EXPECT_FALSE(loaded);
    EXPECT_TRUE(showsPlaceholder(imagePage())) << imagePage()->title().toStdString();
    EXPECT_EQ(viewer->get("dcmFile").toString(), "CT_small.dcm");
}

} // namespace
