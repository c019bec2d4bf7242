#include "BindingFixture.h"

#include "platform/MessagePump.h"
#include "platform/automation/AutomationError.h"
#include "tests/common/QtPrinters.h"
#include "webview2_binding/Collection.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdlib>
#include <dlfcn.h>

namespace {

const QString functionsPage = QStringLiteral(R"(<html><head><title>Functions</title><script>
var counter = 0;
var settings = { zoom: { level: 3 } };
var list = [10, 20];
function add(a, b) { counter++; return a + b; }
function echoAll() { return Array.prototype.slice.call(arguments).join('|'); }
function fails() { throw new Error('broken on purpose'); }
function hangs() { var end = Date.now() + 3000; while (Date.now() < end) {} return 1; }
var tools = { scale: 2, times: function(x) { return x * this.scale; } };
</script></head><body>page</body></html>)");

TEST_F(BindingTest, BindsInARealWindowAndRaisesInitCompleteThroughTheQueue) {
    // BindTo's wait pumps the queue: InitComplete may come before or after it returns. Its
    // handler finds the browser bound and can wait on it, as it could not inside the runtime's
    // completion callback, whose caller waits for it to return.
    int initCompletes = 0;
    int navigations = 0;
    QObject::connect(browser.get(), &cWebView2::NavigationCompleted,
                     [&](bool, int) { ++navigations; });
    Variant navigatedFromHandler;
    QObject::connect(browser.get(), &cWebView2::InitComplete, [&] {
        if (++initCompletes == 1 && browser->isBound())
            navigatedFromHandler = browser->NavigateToString(QStringLiteral("<p>first</p>"), 20);
    });
    ASSERT_TRUE(bind());
    EXPECT_TRUE(waitFor([&] { return initCompletes > 0; }));
    EXPECT_EQ(navigatedFromHandler, Variant(std::int32_t(1)));
    // The queue keeps its order: once a navigation started later has been reported, no
    // second InitComplete can still be on its way.
    browser->NavigateToString(QStringLiteral("<p>second</p>"), 0);
    EXPECT_TRUE(waitFor([&] { return navigations == 2; }));
    EXPECT_EQ(initCompletes, 1);
    EXPECT_TRUE(browser->isBound());
    EXPECT_FALSE(browser->BrowserVersion().isEmpty());
    EXPECT_TRUE(browser->setting("IsScriptEnabled"));
}

TEST_F(BindingTest, BindWithoutWaitingReturnsAtOnce) {
    bool initComplete = false;
    QObject::connect(browser.get(), &cWebView2::InitComplete, [&] { initComplete = true; });
    EXPECT_TRUE(browser->BindTo(host.get(), 0, {}, dir.filePath("profile")));
    EXPECT_FALSE(initComplete);
    EXPECT_TRUE(waitFor([&] { return initComplete; }, 30000));
}

TEST_F(BindingTest, MissingLoaderFailsAtOnce) {
    QTemporaryDir empty;
    EXPECT_EQ(cWebView2::findLoader(empty.path()), QString());
    // The runtime stays loaded once a process has loaded it: the search is
    // tried in a fresh process, whatever ran before in this one.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            cWebView2::setLibraryFolder(empty.path());
            QElapsedTimer timer;
            timer.start();
            const bool bound = browser->BindTo(host.get(), 10);
            std::_Exit(!bound && timer.elapsed() < 2000 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_FALSE(cWebView2::findLoader(qEnvironmentVariable("KEST_BIN_DIR")).isEmpty());
    // Found from a folder below the library's too: the search walks upward.
    EXPECT_FALSE(
        cWebView2::findLoader(qEnvironmentVariable("KEST_BIN_DIR") + "/KestDicomAx/x").isEmpty());
}

TEST_F(BindingTest, JsRunGoesThroughTheBridge) {
    ASSERT_TRUE(bind());
    ASSERT_TRUE(open("f.html", functionsPage));
    EXPECT_EQ(browser->jsRun("add", {Variant(2), Variant(3)}), Variant(std::int32_t(5)));
    EXPECT_EQ(browser->jsRun("add", {Variant(QStringLiteral("a")), Variant(QStringLiteral("b"))}),
              Variant(QStringLiteral("ab")));
    EXPECT_EQ(browser->jsRun("tools.times", {Variant(21)}), Variant(std::int32_t(42)));
    EXPECT_EQ(browser->jsLastError(), QString());
    // Exactly once through the bridge: no fallback ran the function again.
    EXPECT_EQ(browser->jsProp("counter"), Variant(std::int32_t(2)));
}

TEST_F(BindingTest, ThrowingPageFunctionGivesEmptyAndItsMessage) {
    ASSERT_TRUE(bind());
    ASSERT_TRUE(open("f.html", functionsPage));
    EXPECT_TRUE(browser->jsRun("fails").isEmpty());
    EXPECT_EQ(browser->jsLastError(), QStringLiteral("Err in fails(): broken on purpose"));
    EXPECT_TRUE(browser->jsBridgeAvailable());
}

TEST_F(BindingTest, WithoutADocumentJsRunRunsScriptText) {
    ASSERT_TRUE(bind());
    EXPECT_FALSE(browser->jsBridgeAvailable());
    EXPECT_EQ(browser->jsRun("Math.max", {Variant(3), Variant(9)}), Variant(std::int32_t(9)));
}

TEST_F(BindingTest, TimeOutsEndWaitsWithTheirTexts) {
    ASSERT_TRUE(bind());
    ASSERT_TRUE(open("f.html", functionsPage));
    // "hangs()" is not a plain path, so it runs as script text.
    browser->setJsCallTimeOutSeconds(0);
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(browser->jsProp("hangs()").isEmpty());
    EXPECT_LT(timer.elapsed(), 1000);
    EXPECT_EQ(browser->jsLastError(), QString());
    browser->setJsCallTimeOutSeconds(0.5);
    timer.restart();
    EXPECT_TRUE(browser->jsProp("hangs()").isEmpty());
    EXPECT_EQ(browser->jsLastError(), QStringLiteral("Timeout waiting for script result"));
    EXPECT_LT(timer.elapsed(), 2500);
}

TEST_F(BindingTest, PropertiesByPathAndScriptFallback) {
    ASSERT_TRUE(bind());
    ASSERT_TRUE(open("f.html", functionsPage));
    EXPECT_EQ(browser->jsProp("settings.zoom.level"), Variant(std::int32_t(3)));
    browser->setJsProp("settings.zoom.level", Variant(7));
    EXPECT_EQ(browser->jsProp("settings.zoom.level"), Variant(std::int32_t(7)));
    EXPECT_EQ(browser->jsProp("list[1]"),
              Variant(std::int32_t(20))); // not a plain path: script text
    browser->setJsProp("list[0]", Variant(QStringLiteral("x")));
    EXPECT_EQ(browser->jsProp("list[0]"), Variant(QStringLiteral("x")));
    EXPECT_TRUE(browser->jsProp("settings.missing").isNull());
    EXPECT_TRUE(browser->jsProp("nothing.here").isEmpty());
    EXPECT_EQ(browser->jsLastError(),
              QStringLiteral("Err in nothing.here-Get: Cannot read properties of "
                             "undefined (reading 'here')"));
}

TEST_F(BindingTest, AsyncRunAnswersWithItsToken) {
    ASSERT_TRUE(bind());
    ASSERT_TRUE(open("f.html", functionsPage));
    QList<std::pair<Variant, Currency>> results;
    QObject::connect(browser.get(), &cWebView2::JSAsyncResult,
                     [&](Variant& result, Currency token, const QString&) {
                         results.append({result, token});
                     });
    const Currency first = browser->jsRunAsync("add", {Variant(1), Variant(1)});
    const Currency second =
        browser->jsRunAsync("echoAll", {Variant(QStringLiteral("x")), Variant(true)});
    EXPECT_NE(first, second);
    ASSERT_TRUE(waitFor([&] { return results.size() == 2; }));
    EXPECT_EQ(results[0].first, Variant(std::int32_t(2)));
    EXPECT_EQ(results[0].second, first);
    EXPECT_EQ(results[1].first, Variant(QStringLiteral("x|true")));
    EXPECT_EQ(results[1].second, second);
}

TEST_F(BindingTest, CallByNameAndBridgeCallsOnPageObjects) {
    ASSERT_TRUE(bind());
    ASSERT_TRUE(open("f.html", functionsPage));
    const Variant tools = browser->jsProp("tools");
    ASSERT_TRUE(tools.isObject());
    EXPECT_EQ(browser->jsCallByName(tools, "times", 1, {Variant(5)}), Variant(std::int32_t(10)));
    EXPECT_EQ(browser->jsCallByName(tools, "scale", 2), Variant(std::int32_t(2)));
    browser->jsCallByName(tools, "scale", 4, {Variant(3)});
    EXPECT_EQ(cWebView2::CallByName(tools, "times", 1, {Variant(2)}), Variant(std::int32_t(6)));
    auto collection = Collection::create();
    cWebView2::CallByName(Variant(std::static_pointer_cast<Dispatch>(collection)), "Add", 1,
                          {Variant(1), Variant(QStringLiteral("k"))});
    EXPECT_EQ(collection->count(), 1);
    EXPECT_THROW(cWebView2::CallByName(Variant(std::static_pointer_cast<Dispatch>(collection)),
                                       "Missing", 1),
                 AutomationError);
}

TEST_F(BindingTest, CapturePreviewGivesPngAndJpegOfTheView) {
    ASSERT_TRUE(bind());
    ASSERT_TRUE(open("c.html", "<html><body style='background:#00ff00'>x</body></html>"));
    // The page draws after its load has completed: captured until it shows.
    ASSERT_TRUE(waitFor([&] {
        const QColor centre = QImage::fromData(browser->CapturePreview(0)).pixelColor(200, 150);
        return centre.green() > 200 && centre.red() < 60;
    }));
    for (const int format : {0, 1}) {
        const QByteArray bytes = browser->CapturePreview(format);
        ASSERT_FALSE(bytes.isEmpty()) << format;
        EXPECT_TRUE(bytes.startsWith(format == 0 ? QByteArray("\x89PNG") : QByteArray("\xFF\xD8")));
        const QImage image = QImage::fromData(bytes);
        EXPECT_EQ(image.size(), QSize(400, 300)) << format;
        const QColor centre = image.pixelColor(200, 150);
        EXPECT_GT(centre.green(), 200);
        EXPECT_LT(centre.red(), 60);
    }
}

TEST_F(BindingTest, PrintToPdfWritesARenderablePdf) {
    ASSERT_TRUE(bind());
    ASSERT_TRUE(open("p.html", "<html><body><h1>Printed page</h1></body></html>"));
    const QString pdf = dir.filePath("out.pdf");
    EXPECT_EQ(browser->PrintToPdf(pdf, 30), Variant(true));
    QProcess render;
    render.start("pdftoppm", {"-png", "-r", "30", "-f", "1", "-l", "1", pdf, dir.filePath("page")});
    ASSERT_TRUE(render.waitForFinished(30000));
    EXPECT_EQ(render.exitCode(), 0) << render.readAllStandardError().toStdString();
    EXPECT_FALSE(QImage(dir.filePath("page-1.png")).isNull());
}

TEST_F(BindingTest, PrintToPdfStreamGivesThePdfBytes) {
    ASSERT_TRUE(bind());
    ASSERT_TRUE(open("p.html", "<html><body><h1>Streamed</h1></body></html>"));
    const QByteArray pdf = browser->PrintToPdfStream(30);
    EXPECT_TRUE(pdf.startsWith("%PDF")) << pdf.left(16).toStdString();
    EXPECT_TRUE(pdf.trimmed().endsWith("%%EOF"));
}

TEST_F(BindingTest, ShutdownEndsAWaitAndLateCompletionsAreIgnored) {
    ASSERT_TRUE(bind());
    ASSERT_TRUE(open("f.html", functionsPage));
    browser->setJsCallTimeOutSeconds(20);
    QTimer::singleShot(300, [this] { browser->Shutdown(); });
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(browser->jsProp("hangs()").isEmpty());
    // Neither the page's answer (1, after its 3 s) nor the call's 20 s time-out ended the wait.
    EXPECT_LT(timer.elapsed(), 20000);
    EXPECT_FALSE(browser->isBound());
    // Whatever the runtime still delivers now finds detached callbacks.
    pump::waitUntil([] { return false; }, std::chrono::milliseconds(3500));
    EXPECT_FALSE(browser->jsBridgeAvailable());
}

} // namespace

namespace {

TEST_F(BindingTest, PlacementFollowsTheHostAndReportsItsBounds) {
    ASSERT_TRUE(bind());
    std::optional<int> x, y, dx, dy;
    const auto bounds = [&] {
        x = y = dx = dy = std::nullopt; // nothing given: the bounds are kept and reported
        browser->MoveRelativeToHostWindow(x, y, dx, dy);
        return QRect(*x, *y, *dx, *dy);
    };
    EXPECT_EQ(bounds(), QRect(0, 0, 400, 300));
    std::optional<int> left = 10, top, width = 200, height;
    browser->MoveRelativeToHostWindow(left, top, width, height);
    EXPECT_EQ(top, 0);
    EXPECT_EQ(height, 300);
    EXPECT_EQ(bounds(), QRect(10, 0, 200, 300));
    host->resize(500, 350);
    browser->SyncSizeToHostWindow();
    EXPECT_EQ(bounds(), QRect(0, 0, 500, 350));
    browser->setZoomFactor(1.5);
    EXPECT_DOUBLE_EQ(browser->ZoomFactor(), 1.5);
}

TEST_F(BindingTest, SuspensionHidesUntilResumed) {
    ASSERT_TRUE(bind());
    ASSERT_TRUE(open("s.html", "<html><body>idle</body></html>"));
    const Variant suspended = browser->TrySuspend(10);
    ASSERT_FALSE(suspended.isEmpty());
    EXPECT_EQ(suspended, Variant(true));
    EXPECT_TRUE(browser->IsSuspended());
    browser->ResumeFromSuspend();
    EXPECT_FALSE(browser->IsSuspended());
    EXPECT_EQ(browser->jsRun("Math.abs", {Variant(-4)}), Variant(std::int32_t(4)));
}

TEST_F(BindingTest, GotFocusReportsTheReasonOnce) {
    ASSERT_TRUE(bind());
    ASSERT_TRUE(open("focus.html", "<html><body><input id='a'></body></html>"));
    QList<int> reasons;
    QObject::connect(browser.get(), &cWebView2::GotFocus,
                     [&](int reason) { reasons.append(reason); });
    host->activateWindow();
    browser->SetFocus(2);
    if (!waitFor([&] { return !reasons.isEmpty(); }, 3000))
        GTEST_SKIP() << "the offscreen platform gave the view no focus";
    EXPECT_EQ(reasons.first(), 2);
}

} // namespace

namespace {

TEST_F(BindingTest, MostRecentInstallIsTheSystemRuntime) {
    QString version;
    const QString folder = browser->GetMostRecentInstallPath("EdgeWebView", version);
    EXPECT_FALSE(version.isEmpty());
    EXPECT_TRUE(QFileInfo::exists(folder + "/QtWebEngineProcess")) << folder.toStdString();
}

} // namespace

TEST_F(BindingTest, ALibraryThatIsNoRuntimeIsUnloadedAndTheSearchRetried) {
    // A shared library without the loader functions, under the loader's name.
    QTemporaryDir folder;
    const QString fake = folder.filePath("KestDicomAx/libWebView2Loader.so");
    QDir().mkpath(QFileInfo(fake).path());
    ASSERT_TRUE(QFile::copy(QStringLiteral(KEST_FAKE_LOADER), fake));
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            cWebView2::setLibraryFolder(folder.path());
            const bool boundToFake = browser->BindTo(host.get(), 10);
            const bool stillLoaded =
                dlopen(QFile::encodeName(fake).constData(), RTLD_NOW | RTLD_NOLOAD) != nullptr;
            cWebView2::setLibraryFolder(qEnvironmentVariable("KEST_BIN_DIR"));
            const bool boundToRuntime = browser->BindTo(host.get(), 30);
            std::_Exit(!boundToFake && !stillLoaded && boundToRuntime ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(BindingTest, AnAddressTheRuntimeRefusesIsRaised) {
    ASSERT_TRUE(bind());
    for (const char* address : {"https://a b.c", "no scheme"}) {
        try {
            browser->Navigate(QString::fromLatin1(address), 5);
            ADD_FAILURE() << address << " was not refused";
        } catch (const AutomationError& error) {
            EXPECT_EQ(error.hresult(), hr::E_INVALIDARG) << address;
        }
    }
    EXPECT_EQ(browser->Navigate("about:blank", 10), Variant(std::int32_t(1)));
}

TEST_F(BindingTest, PerCallHandlersGoWhenTheirCallCompletes) {
    // Without a document there is no bridge: every call runs as script text
    // with a completion handler of its own.
    ASSERT_TRUE(bind());
    ASSERT_FALSE(browser->jsBridgeAvailable());
    for (int i = 0; i < 300; ++i)
        ASSERT_EQ(browser->jsRun("Math.max", {Variant(i), Variant(1)}).toLong(), std::max(i, 1));
    EXPECT_EQ(browser->pendingCallbacks(), 0);
    // A call nobody waits for holds its handler until the runtime answers.
    browser->setJsCallTimeOutSeconds(0);
    browser->jsRun("Math.max", {Variant(1), Variant(2)});
    EXPECT_EQ(browser->pendingCallbacks(), 1);
    EXPECT_TRUE(waitFor([&] { return browser->pendingCallbacks() == 0; }));
}

TEST_F(BindingTest, FacilitiesTheRuntimeLacksReadFalseAndUnknownSettingsAreErrors) {
    // Tracking prevention and extensions asked for, which the runtime never applies.
    ASSERT_TRUE(browser->BindTo(host.get(), 30, {}, dir.filePath("profile"), {}, false, false,
                                false, true, true));
    EXPECT_FALSE(browser->EnableTrackingPrevention());
    EXPECT_FALSE(browser->AreBrowserExtensionsEnabled());
    for (const char* absent : {"IsGeneralAutofillEnabled", "IsPasswordAutosaveEnabled"}) {
        EXPECT_TRUE(cWebView2::IsFacilityAbsent(absent)) << absent;
        browser->setSetting(absent, true);
        EXPECT_FALSE(browser->setting(absent)) << absent;
    }
    for (const char* option : {"EnableTrackingPrevention", "AreBrowserExtensionsEnabled"})
        EXPECT_TRUE(cWebView2::IsFacilityAbsent(option)) << option;
    EXPECT_FALSE(cWebView2::IsFacilityAbsent("IsScriptEnabled"));
    EXPECT_EQ(browser->PreferredTrackingPreventionLevel(), 0);
    try {
        browser->setSetting("IsNoSuchSetting", true);
        ADD_FAILURE() << "an unknown setting was accepted";
    } catch (const AutomationError& error) {
        EXPECT_EQ(error.number(), 438);
    }
    browser->setSetting("AreDevToolsEnabled", false);
    EXPECT_FALSE(browser->setting("AreDevToolsEnabled"));
}
