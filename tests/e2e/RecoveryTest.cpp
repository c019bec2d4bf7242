// The image page's browser process killed during a load and after it: the
// load ends, and the next file shows in the same host program.

#include "ViewerFixture.h"

#include "platform/MessagePump.h"
#include "platform/automation/ControlSite.h"
#include "tests/common/DicomFiles.h"

#include <QWebEnginePage>

#include <csignal>

namespace {

using testing_support::pydicomFile;

class Recovery : public ViewerFixture {
protected:
    QWebEnginePage* imagePage() const { return browserPage("KestWebViewKD1"); }

    // Kills the image page's renderer and waits until the page knows it.
    void killRenderer() {
        QWebEnginePage* page = imagePage();
        ASSERT_NE(page, nullptr);
        const qint64 pid = page->renderProcessPid();
        ASSERT_GT(pid, 0);
        bool ended = false;
        QObject::connect(page, &QWebEnginePage::renderProcessTerminated, page,
                         [&ended] { ended = true; });
        ASSERT_EQ(::kill(static_cast<pid_t>(pid), SIGKILL), 0);
        ASSERT_TRUE(pump::waitUntil([&] { return ended; }, std::chrono::seconds(20)));
    }

    QString dcmFile() const { return viewer->get("dcmFile").toString(); }
};

TEST_F(Recovery, AShownImageIsGoneAndTheNextFileShows) {
    ASSERT_TRUE(loadDemo());
    EXPECT_EQ(viewer->get("dcmModality").toString(), "CT");
    raised.clear();
    killRenderer();
    // Nothing was being loaded: the description is reset, no load is reported.
    ASSERT_TRUE(pump::waitUntil([&] { return viewer->get("dcmModality").toString().isEmpty(); },
                                std::chrono::seconds(20)));
    EXPECT_EQ(find("ImageLoaded"), nullptr);
    // Saving needs a shown image: there is none now.
    QList<Variant> save{Variant(QStringLiteral("/tmp/never-written.png")), Variant(false)};
    EXPECT_FALSE(viewer->invokeByName("SaveImage", InvokeFlags::Method, save).toBool());

    ASSERT_TRUE(loadFile(pydicomFile("MR_small.dcm")));
    EXPECT_FALSE(find("ImageLoaded")->args.value(12).toBool());
    EXPECT_EQ(viewer->get("dcmModality").toString(), "MR");
}

TEST_F(Recovery, ALoadWaitingForTheDeadPageEndsWithoutAnImage) {
    ASSERT_TRUE(loadDemo());
    raised.clear();
    // The renderer dies as soon as the next file is handed to the page.
    QWebEnginePage* page = imagePage();
    ASSERT_NE(page, nullptr);
    bool killed = false;
    const auto connection = QObject::connect(page, &QWebEnginePage::loadStarted, page, [&] {
        if (!killed && page->url().fileName() == "KDVAX_MONO.html" && page->renderProcessPid() > 0)
            killed = ::kill(static_cast<pid_t>(page->renderProcessPid()), SIGKILL) == 0;
    });
    ASSERT_TRUE(viewer->call("LoadDicomFile", {Variant(pydicomFile("MR_small.dcm"))}).toBool());
    ASSERT_TRUE(waitFor("ImageLoaded"));
    QObject::disconnect(connection);
    ASSERT_TRUE(killed) << "the renderer was not killed during the load";
    const Raised* loaded = find("ImageLoaded");
    EXPECT_EQ(loaded->args.value(0).toString(), "MR_small.dcm");
    EXPECT_TRUE(loaded->args.value(12).toBool()) << "no image";
    EXPECT_TRUE(loaded->args.value(3).toString().isEmpty()) << "no modality";

    ASSERT_TRUE(loadDemo());
    EXPECT_EQ(viewer->get("dcmModality").toString(), "CT");
    EXPECT_EQ(dcmFile(), "CT_small.dcm");
}

} // namespace
