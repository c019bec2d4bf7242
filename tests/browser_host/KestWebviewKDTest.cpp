// The browser host on the real binding and runtime, headless.

#include "HostFixture.h"

#include "browser_host/KestWebviewKD.h"
#include "browser_host/modKWVLanguage.h"
#include "dialogs/FileDialogSeam.h"

#include "platform/MessagePump.h"
#include "platform/UiServices.h"
#include "tests/common/TempEnvironment.h"
#include "tests/common/TestApp.h"
#include "webview2_binding/cWebView2.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <cstdlib>

using namespace std::chrono_literals;

namespace {

TEST_F(HostFixture, InitWaitsUntilShownThenStarts) {
    host->call("Init", {text("")});
    pump::waitUntil([] { return false; }, 500ms);
    EXPECT_FALSE(host->IsWebViewInit());
    EXPECT_FALSE(events.contains("InitComplete"));
    host->show();
    ASSERT_TRUE(pump::waitUntil([this] { return host->IsWebViewInit(); }, 20s));
    EXPECT_TRUE(pump::waitUntil([this] { return events.contains("InitComplete"); }, 5s));
    // No fixed runtime is installed: the user is told and the system's runtime is used.
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(
        boxes[0].contains("This directory does not appear to contain a WebView2 component."));
    EXPECT_EQ(host->get("UseEdgeFixedVersion"), Variant(false));
    EXPECT_EQ(host->creationRecord().runtimeFolder, "");
    EXPECT_TRUE(host->call("GetKestWebView2DataPath")
                    .toString()
                    .endsWith("/Tarnwell/KestWebView2/Data/" +
                              qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME"))));
}

TEST_F(HostFixture, PrivateBrowsingUsesAGuidFolderDeletedAtShutdown) {
    host->put("AllowInteractiveContentLocally", Variant(true));
    ASSERT_TRUE(
        start({text("fr"), Variant(true), text(""), text(""), text("--disable-web-security")}));
    const QString folder = host->privateFolder();
    EXPECT_TRUE(folder.startsWith(temp + "/KestWebView2/{"));
    EXPECT_TRUE(QRegularExpression("\\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\\}$")
                    .match(folder)
                    .hasMatch());
    EXPECT_TRUE(QDir(folder).exists());
    EXPECT_EQ(host->palette().color(QPalette::Window), QColor(0xFF, 0x80, 0x80));
    EXPECT_EQ(host->creationRecord().commandLine,
              "--lang=fr --disable-web-security --allow-file-access-from-files");
    host->call("Shutdown");
    EXPECT_FALSE(QDir(folder).exists());
}

TEST_F(HostFixture, FixedRuntimeOlderThan100IsSkippedForEvergreen) {
    const QString fixed =
        env.root() + "/common/KestWebView2/Microsoft.WebView2.FixedVersionRuntime";
    ASSERT_TRUE(QDir().mkpath(fixed));
    QFile manifest(fixed + "/99.0.1150.55.manifest");
    ASSERT_TRUE(manifest.open(QIODevice::WriteOnly));
    manifest.close();
    ASSERT_TRUE(start());
    EXPECT_TRUE(boxes.isEmpty());
    EXPECT_EQ(host->creationRecord().runtimeFolder, "");
    EXPECT_EQ(host->get("UseEdgeFixedVersion"), Variant(false));
}

TEST_F(HostFixture, NoRuntimeWithoutFixedVersionRaises1243) {
    // A library folder without the runtime beside it: no runtime is installed.
    QTemporaryDir empty;
    cWebView2::setLibraryFolder(empty.path());
    host->put("UseEdgeFixedVersion", Variant(false));
    host->show();
    host->call("Init", {text("")});
    ASSERT_TRUE(pump::waitUntil([this] { return host->startupError().has_value(); }, 10s));
    EXPECT_EQ(host->startupError()->number(), 1243);
    EXPECT_EQ(host->startupError()->source(), "KestWebView2");
    EXPECT_EQ(host->startupError()->description(),
              "The Evergreen version of the Microsoft WebView2 component does not appear to be "
              "present on your system.");
    EXPECT_FALSE(host->IsWebViewInit());
}

TEST_F(HostFixture, MissingFixedFolderGivesTheStartupTextOfEachLanguage) {
    const QString fixed = env.root() + "/nowhere/120.0.1.0";
    ASSERT_TRUE(QDir().mkpath(fixed));
    for (const std::uint32_t lcid : {1033u, 1031u, 1034u, 1036u, 1040u, 1043u, 1046u}) {
        site.localeId = lcid;
        host->initNew();
        host->show();
        host->call("InitEx", {text(""), Variant(false), Variant(fixed), text("")});
        ASSERT_TRUE(pump::waitUntil([this] { return host->startupError().has_value(); }, 10s));
        EXPECT_EQ(host->startupError()->number(), 666);
        EXPECT_EQ(host->startupError()->description(),
                  kwvlanguage::texts().failedStartup +
                      "\r\n\r\nCheck for the presence of the Webview2 component in the path:\r\n" +
                      fixed);
        EXPECT_EQ(kwvlanguage::texts().failedStartup,
                  kwvlanguage::textsFor(kwvlanguage::languageOf(lcid)).failedStartup);
        host->call("Shutdown");
    }
}

TEST_F(HostFixture, RunJsPassesUpTo15Arguments) {
    ASSERT_TRUE(start());
    host->call("NavigateToString",
               {text("<html><body><script>function count(){return arguments.length + ':' + "
                     "Array.from(arguments).join(',');}</script></body></html>"),
                Variant(8.0)});
    QList<Variant> args{text("count")};
    for (int i = 1; i <= 15; ++i)
        args << Variant(std::int32_t(i));
    EXPECT_EQ(host->call("RunJs", args).toString(), "15:1,2,3,4,5,6,7,8,9,10,11,12,13,14,15");
    EXPECT_EQ(host->call("RunJs", {text("count")}).toString(), "0:");
    args << Variant(std::int32_t(16));
    Variant result;
    EXPECT_NO_THROW(result = host->call("RunJs", args));
    EXPECT_TRUE(result.isEmpty());
}

TEST_F(HostFixture, InnerTextOfLinksAndParagraphs) {
    ASSERT_TRUE(start());
    host->call("NavigateToString", {text("<html><body><p>a</p><a href='https://one.example/'>1</a>"
                                         "<a href='https://two.example/x'>2</a></body></html>"),
                                    Variant(8.0)});
    EXPECT_EQ(host->call("GetInnerText", {Variant(std::int16_t(8))}).toString(),
              "https://one.example/\r\nhttps://two.example/x\r\n");
    EXPECT_TRUE(host->call("GetInnerHTML", {Variant(std::int16_t(1))})
                    .toString()
                    .startsWith("<p>\r\na</p>\r\n"));
    EXPECT_EQ(host->call("GetInnerText", {Variant(std::int16_t(9))}).toString(), "");
}

TEST_F(HostFixture, NavigateCompletesAddressesAndHonoursCancel) {
    ASSERT_TRUE(start());
    EXPECT_EQ(navigationTarget("kittens"), "https://duckduckgo.com/?q=kittens&t=web");
    EXPECT_EQ(navigationTarget("example.org"), "https://example.org/");
    EXPECT_EQ(host->lastRequestedAddress(), "example.org");
    onEvent = [](const QString& name, QList<Variant>& args) {
        if (name == "BeforeNavigate")
            args[1] = Variant(true);
    };
    QList<Variant> args{Variant("other.org")};
    host->invokeByName("Navigate", InvokeFlags::Method, args);
    EXPECT_EQ(host->lastRequestedAddress(), "example.org");
}

TEST_F(HostFixture, NavigationWithoutBrowserRaises6666) {
    site.localeId = 1036;
    host->initNew();
    try {
        host->call("Navigate", {Variant("a.org")});
        ADD_FAILURE() << "no error";
    } catch (const AutomationError& error) {
        EXPECT_EQ(error.number(), 6666);
        EXPECT_EQ(error.source(), "KestWebView2 Control");
        EXPECT_EQ(error.description(), "Contrôle non initialisé");
    }
    EXPECT_EQ(host->call("SetSecurityProperties",
                         {Variant(true), Variant(true), Variant(true), Variant(true)}),
              Variant(false));
}

TEST_F(HostFixture, SavedNewControlAndZoomClamp) {
    PropertyBag bag;
    host->save(bag);
    EXPECT_EQ(bag.read("IsScriptEnabled"), Variant(false));
    EXPECT_EQ(bag.read("UseEdgeFixedVersion"), Variant(true));
    QList<Variant> zoom{Variant(std::int16_t(5))};
    host->invokeByName("SetZoomFactor", InvokeFlags::Method, zoom);
    EXPECT_EQ(zoom[0], Variant(std::int16_t(10)));
    host->put("InitTimeOut", Variant(3.0));
    EXPECT_EQ(host->get("InitTimeOut"), Variant(8.0));
}

TEST_F(HostFixture, BuiltInPagesTheRuntimeLacksAreAbsent) {
    ASSERT_TRUE(start());
    for (const char* member : {"GoHystory", "GoDownloads", "GoOptions", "GoListEdgeUrls"})
        EXPECT_EQ(errorNumber([&] { host->call(member); }), 438) << member;
}

TEST_F(HostFixture, SystemPageIsRecordedAndLoads) {
    EXPECT_EQ(errorNumber([&] { host->call("GoViewSystemVersion"); }), 6666);
    ASSERT_TRUE(start());
    QStringList seen;
    onEvent = [&seen](const QString& name, QList<Variant>& args) {
        if (name == "BeforeNavigate")
            seen << args[0].toString();
    };
    ASSERT_TRUE(host->call("GoViewSystemVersion").toBool());
    EXPECT_EQ(seen, QStringList{"chrome://gpu"});
    EXPECT_EQ(host->get("DocumentTitle").toString(), "System Version");
    EXPECT_EQ(host->get("DocumentURL").toString(), "chrome://gpu");
    EXPECT_EQ(host->lastRequestedAddress(), "chrome://gpu");
    EXPECT_TRUE(events.contains("DocumentComplete"));
    ASSERT_TRUE(
        pump::waitUntil([this] { return bodyText().contains("Graphics Feature Status"); }, 10s));
    EXPECT_TRUE(bodyText().contains("Operating system"));

    onEvent = [](const QString& name, QList<Variant>& args) {
        if (name == "BeforeNavigate")
            args[1] = Variant(true);
    };
    EXPECT_FALSE(host->call("GoViewSystemVersion").toBool());
}

TEST_F(HostFixture, WalletNoticeFollowsTheRuntimeVersion) {
    // No fixed runtime and the fixed one preferred: no version, the old-version notice,
    // which needs no browser.
    EXPECT_EQ(host->call("GoWallet"), Variant(false));
    host->put("EdgeFixedPath", Variant(fixedFolderOf("130.0.2849.56")));
    EXPECT_EQ(errorNumber([&] { host->call("GoWallet"); }), 6666);
    host->put("EdgeFixedPath", text(""));

    // The started runtime reports its Chromium version, 102.
    ASSERT_TRUE(start());
    ASSERT_LT(host->call("GetWebView2Version").toString().section('.', 0, 0).toInt(), 122);
    EXPECT_EQ(host->call("GoWallet"), Variant(false));
    ASSERT_TRUE(pump::waitUntil([this] { return bodyText().contains("(<122)"); }, 10s));
    EXPECT_EQ(host->call("jsProp", {text("document.title")}).toString(), "Microsoft Regression !");
    EXPECT_TRUE(bodyText().contains("anciennes versions (<122) du composant"));

    // A fixed runtime's version counts while the fixed runtime is preferred.
    host->put("UseEdgeFixedVersion", Variant(true));
    const std::pair<const char*, const char*> notices[] = {
        {"122.0.2365.52", "no longer accessible"},
        {"121.0.2277.128", "(<122)"},
        {"130.0.2849.56", "n'est plus accessible"},
    };
    for (const auto& [version, notice] : notices) {
        host->put("EdgeFixedPath", Variant(fixedFolderOf(version)));
        host->call("NavigateToString", {text("<html><body>-</body></html>"), Variant(8.0)});
        EXPECT_EQ(host->call("GoWallet"), Variant(false));
        EXPECT_TRUE(pump::waitUntil([&] { return bodyText().contains(notice); }, 10s)) << version;
    }
}

TEST_F(HostFixture, AnchoredControlFollowsItsParentForm) {
    QWidget form;
    form.resize(800, 600);
    host->setParent(&form);
    host->setGeometry(20, 30, 400, 300);
    form.show();
    PropertyBag bag;
    bag.write("Anchor", Variant(true));
    host->load(bag);
    ASSERT_EQ(host->get("Anchor"), Variant(true));

    form.resize(1000, 700);
    EXPECT_EQ(host->geometry(), QRect(20, 30, 600, 400));
    const int minimum = int(std::lround(512 * form.logicalDpiX() / 1440.0));
    form.resize(100, 100);
    EXPECT_EQ(host->geometry(), QRect(20, 30, minimum, minimum));

    host->put("Anchor", Variant(false));
    form.resize(900, 900);
    EXPECT_EQ(host->geometry(), QRect(20, 30, minimum, minimum));
    host->put("Anchor", Variant(true));
    form.resize(1000, 700);
    EXPECT_EQ(host->geometry(), QRect(20, 30, 600, 400));
    host->setParent(nullptr);
}

TEST_F(HostFixture, AnchoringNeedsAParentAndRunMode) {
    host->put("Anchor", Variant(true));
    EXPECT_EQ(host->get("Anchor"), Variant(false));

    QWidget form;
    form.resize(800, 600);
    host->setParent(&form);
    host->setGeometry(20, 30, 400, 300);
    form.show();
    site.userMode = false;
    PropertyBag bag;
    bag.write("Anchor", Variant(true));
    host->load(bag);
    EXPECT_EQ(host->get("Anchor"), Variant(true));
    form.resize(1000, 700);
    EXPECT_EQ(host->geometry(), QRect(20, 30, 400, 300));
    host->setParent(nullptr);
}

TEST_F(HostFixture, DocumentCompleteRecordsTheDecodedAddressAndTitle) {
    ASSERT_TRUE(start());
    const QString path =
        pageFile("page é 1.html", "<html><head><meta charset='utf-8'><title>Tître</title></head>"
                                  "<body>x</body></html>");
    ASSERT_TRUE(QFileInfo(path).isFile()) << path.toStdString();
    const auto completed =
        nextEvent("NavigationCompleted", [&] { host->call("NavigateToFile", {Variant(path)}); });
    ASSERT_TRUE(completed) << events.join(',').toStdString();
    EXPECT_EQ((*completed)[0], Variant(std::int32_t(-1)));
    EXPECT_TRUE(
        pump::waitUntil([&] { return host->get("DocumentTitle").toString() == "Tître"; }, 5s))
        << host->get("DocumentTitle").toString().toStdString();
    EXPECT_EQ(host->get("DocumentURL").toString(), "file://" + path);
    EXPECT_EQ(host->call("GetURLString").toString(), "file://" + path);
}

TEST_F(HostFixture, FailedNavigationCompletesUnsuccessfullyAndRecordsNothing) {
    ASSERT_TRUE(start());
    const QString path = pageFile("first.html", "<html><head><title>First</title></head></html>");
    ASSERT_TRUE(
        nextEvent("DocumentComplete", [&] { host->call("NavigateToFile", {Variant(path)}); }));
    host->put("SearchAuto", Variant(false));
    const auto completed = nextEvent("NavigationCompleted", [&] {
        host->call("Navigate", {text("https://nothing-here.invalid/")});
    });
    ASSERT_TRUE(completed);
    EXPECT_EQ((*completed)[0], Variant(std::int32_t(0)));
    EXPECT_EQ((*completed)[1].type(), VarType::Long);
    EXPECT_EQ(host->get("DocumentURL").toString(), "file://" + path);
    // The browser shows its error page: the title says the address is invalid.
    EXPECT_EQ(host->get("DocumentTitle").toString(), kwvlanguage::texts().invalidUrl);
}

TEST_F(HostFixture, FailedNavigationSearchesForTheAddressOnce) {
    ASSERT_TRUE(start());
    QStringList targets;
    onEvent = [&targets](const QString& name, QList<Variant>& args) {
        if (name == "NavigationStarting")
            targets << args[2].toString();
    };
    QList<Variant> args{text("nothing-here.invalid")};
    host->invokeByName("Navigate", InvokeFlags::Method, args);
    const QString search = host->activeSearchTemplate().section("%1", 0, 0);
    EXPECT_TRUE(pump::waitUntil([&] { return targets.size() >= 2; }, 10s));
    // The failed search is not searched for again.
    pump::waitUntil([] { return false; }, 2500ms);
    onEvent = nullptr;
    ASSERT_EQ(targets.size(), 2) << targets.join(' ').toStdString();
    EXPECT_EQ(targets[0], "https://nothing-here.invalid/");
    EXPECT_TRUE(targets[1].startsWith(search)) << targets[1].toStdString();
    EXPECT_TRUE(targets[1].contains("nothing-here.invalid")) << targets[1].toStdString();
}

// A search one second after a failure must not replace what was shown since:
// neither a page loaded in the meantime nor a text, which records no address.
TEST_F(HostFixture, APageShownAfterAFailureIsNotReplacedByItsSearch) {
    ASSERT_TRUE(start());
    const QString page = pageFile("shown.html", "<html><body>shown</body></html>");
    QStringList targets;
    int failures = 0;
    onEvent = [&](const QString& name, QList<Variant>& args) {
        if (name == "NavigationStarting")
            targets << args[2].toString();
        else if (name == "NavigationCompleted" && !args[0].toBool())
            ++failures;
    };
    const std::function<void()> follows[] = {
        [&] { host->call("Navigate", {Variant(QUrl::fromLocalFile(page).toString())}); },
        [&] {
            host->call("NavigateToString", {text("<p>text</p>"), Variant(8.0)});
        }};
    for (const auto& follow : follows) {
        targets.clear();
        failures = 0;
        QList<Variant> args{text("nothing-here.invalid")};
        host->invokeByName("Navigate", InvokeFlags::Method, args);
        ASSERT_TRUE(pump::waitUntil([&] { return failures > 0; }, 10s));
        follow();
        pump::waitUntil([] { return false; }, 2500ms);
        EXPECT_EQ(targets.size(), 2) << targets.join(' ').toStdString();
    }
    onEvent = nullptr;
}

TEST_F(HostFixture, AnAddressTheBrowserRefusesRaises6660OrSearches) {
    ASSERT_TRUE(start());
    host->put("SearchAuto", Variant(false));
    EXPECT_EQ(errorNumber([&] { host->call("Navigate", {text("a b.c")}); }), 6660);
    host->put("SearchAuto", Variant(true));
    const auto searched = nextEvent("NavigationStarting", [&] {
        EXPECT_EQ(errorNumber([&] { host->call("Navigate", {text("a b.c")}); }), 0);
    });
    ASSERT_TRUE(searched);
    const QString target = (*searched)[2].toString();
    EXPECT_TRUE(target.startsWith(host->activeSearchTemplate().section("%1", 0, 0)))
        << target.toStdString();
    EXPECT_TRUE(target.contains("a+b.c")) << target.toStdString();
}

TEST_F(HostFixture, ARefusedHomeAddressLeavesTheBrowserStarted) {
    host->put("SearchAuto", Variant(false));
    host->put("HomeURL", text("a b.c"));
    ASSERT_TRUE(start());
    EXPECT_FALSE(host->startupError().has_value());
    EXPECT_FALSE(boxes.join('\n').contains(kwvlanguage::texts().invalidUrl));
}

TEST_F(HostFixture, HashChangesAfterACancelledNavigationAreRecorded) {
    ASSERT_TRUE(start());
    const QString path = pageFile("stays.html", "<html><head><title>Stays</title></head></html>");
    ASSERT_TRUE(
        nextEvent("DocumentComplete", [&] { host->call("NavigateToFile", {Variant(path)}); }));
    navigateCancelledByTheContainer();
    ASSERT_TRUE(nextEvent("DocumentComplete",
                          [&] { host->call("ExecuteScript", {text("location.hash = 'later'")}); }));
    EXPECT_EQ(host->get("DocumentURL").toString(), "file://" + path + "#later");
}

TEST_F(HostFixture, ADyingControlRaisesNothing) {
    host->put("SearchAuto", Variant(false));
    ASSERT_TRUE(start({text(""), Variant(true), text(""), text("")}));
    const QString path = pageFile("dying.html", "<html><head><title>Dying</title></head></html>");
    ASSERT_TRUE(
        nextEvent("DocumentComplete", [&] { host->call("NavigateToFile", {Variant(path)}); }));
    // A source change outside a navigation arms the refresh 1.5 s later; the
    // private folder's deletion waits one second while the control dies.
    ASSERT_TRUE(nextEvent("SourceChanged",
                          [&] { host->call("ExecuteScript", {text("location.hash = 'x'")}); }));
    pump::waitUntil([] { return false; }, 600ms);
    events.clear();
    host.reset();
    EXPECT_EQ(events, QStringList());
}

TEST_F(HostFixture, ReadingHosthWndLeavesThePaneAsItWas) {
    ASSERT_TRUE(start());
    auto* pane = host->findChild<QWidget*>("picWV");
    ASSERT_TRUE(pane);
    ASSERT_FALSE(pane->testAttribute(Qt::WA_NativeWindow));
    const std::int32_t hwnd = host->get("HosthWnd").toLong();
    EXPECT_FALSE(pane->testAttribute(Qt::WA_NativeWindow));
    EXPECT_EQ(pane->internalWinId(), WId(0));
    EXPECT_NE(hwnd, 0);
    EXPECT_EQ(hwnd, static_cast<std::int32_t>(pane->effectiveWinId()));
}

TEST_F(HostFixture, ADarkColourSchemeStartsTheBrowserDark) {
    // Chromium takes the scheme when its processes start: a fresh process.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            host->put("PreferredColorScheme", Variant(std::int16_t(2)));
            const bool started = start();
            const bool dark =
                host->call("jsProp", {text("matchMedia('(prefers-color-scheme: dark)').matches")})
                    .toString() == "True";
            const bool switched = host->creationRecord().commandLine.contains("--force-dark-mode");
            std::_Exit(started && dark && switched ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(HostFixture, SourceChangeOutsideNavigationRecordsTheNewAddress) {
    ASSERT_TRUE(start());
    const QString path = pageFile("anchor.html", "<html><head><title>Here</title></head></html>");
    ASSERT_TRUE(
        nextEvent("DocumentComplete", [&] { host->call("NavigateToFile", {Variant(path)}); }));
    events.clear();
    ASSERT_TRUE(nextEvent("DocumentComplete",
                          [&] { host->call("ExecuteScript", {text("location.hash = 'part'")}); }));
    // Recorded after the source change alone: no navigation ran.
    EXPECT_EQ(events.filter("Navigation"), QStringList());
    EXPECT_EQ(host->get("DocumentURL").toString(), "file://" + path + "#part");
    EXPECT_EQ(host->get("DocumentTitle").toString(), "Here");
}

TEST_F(HostFixture, NavigationCancelledByTheContainerIsNotRecorded) {
    ASSERT_TRUE(start());
    const QString path = pageFile("kept.html", "<html><head><title>Kept</title></head></html>");
    ASSERT_TRUE(
        nextEvent("DocumentComplete", [&] { host->call("NavigateToFile", {Variant(path)}); }));
    navigateCancelledByTheContainer(500ms);
    EXPECT_EQ(host->get("DocumentTitle").toString(), "Kept");
    EXPECT_EQ(host->call("jsProp", {text("document.title")}).toString(), "Kept");
}

TEST_F(HostFixture, NewWindowRequestCarriesTheFeaturesAndTheAnswer) {
    ASSERT_TRUE(start());
    const QString path =
        pageFile("opener.html", "<html><body><script>window.open('https://popup.invalid/p', 'w', "
                                "'left=10,top=20,width=320,height=200');</script></body></html>");
    std::optional<QList<Variant>> request;
    onEvent = [&request](const QString& name, QList<Variant>& args) {
        if (name != "NewWindowRequested")
            return;
        request = args;
        args[1] = Variant(std::int32_t(-1));
    };
    host->call("NavigateToFile", {Variant(path)});
    ASSERT_TRUE(pump::waitUntil([&] { return request.has_value(); }, 10s));
    onEvent = nullptr;
    EXPECT_EQ((*request)[2].toString(), "https://popup.invalid/p");
    const QString features = (*request)[3].toString();
    EXPECT_TRUE(features.contains("320")) << features.toStdString();
    EXPECT_TRUE(features.contains("200")) << features.toStdString();
}

TEST_F(HostFixture, PermissionRequestIsAnsweredByTheContainer) {
    ASSERT_TRUE(start());
    const QString path =
        pageFile("ask.html", "<html><body><script>Notification.requestPermission().then("
                             "answer => document.title = answer);</script></body></html>");
    std::optional<QList<Variant>> request;
    onEvent = [&request](const QString& name, QList<Variant>& args) {
        if (name != "PermissionRequested")
            return;
        request = args;
        args[3] = Variant(std::int32_t(2)); // deny
    };
    host->call("NavigateToFile", {Variant(path)});
    ASSERT_TRUE(pump::waitUntil([&] { return request.has_value(); }, 10s))
        << events.join(',').toStdString() << bodyText().toStdString()
        << host->call("jsProp", {text("document.title")}).toString().toStdString();
    EXPECT_TRUE((*request)[2].toString().startsWith("file://"))
        << (*request)[2].toString().toStdString();
    EXPECT_TRUE(pump::waitUntil(
        [&] { return host->call("jsProp", {text("document.title")}).toString() == "denied"; }, 5s));
    onEvent = nullptr;
}

TEST_F(HostFixture, FileSelectAsksThroughTheDialogAndLoadsTheChoice) {
    std::optional<filedialogs::Request> asked;
    std::optional<filedialogs::Answer> answer;
    filedialogs::setHook([&](const filedialogs::Request& request) {
        asked = request;
        return answer;
    });
    const QList<Variant> args{Variant(true), Variant(true), text("t"), text("f|*.x"),
                              Variant(temp), text(""),      text("")};
    EXPECT_EQ(host->call("FileSelect", args), text(""));
    EXPECT_FALSE(asked);

    ASSERT_TRUE(start());
    EXPECT_EQ(host->call("FileSelect", args), text(""));
    ASSERT_TRUE(asked);
    EXPECT_EQ(asked->title, kwvlanguage::texts().fileSelectTitle);
    EXPECT_TRUE(asked->fileMustExist);
    EXPECT_EQ(asked->initialFolder, temp);
    EXPECT_NE(asked->owner, nullptr);

    const QString path =
        pageFile("chosen.html", "<html><head><title>Chosen</title></head><body></body></html>");
    answer = filedialogs::Answer{{path}, 0};
    EXPECT_EQ(host->call("FileSelect", args).toString(), path);
    EXPECT_TRUE(
        pump::waitUntil([&] { return host->get("DocumentTitle").toString() == "Chosen"; }, 10s));
    EXPECT_EQ(host->get("DocumentURL").toString(), "file://" + path);
    filedialogs::setHook(nullptr);
}

} // namespace

namespace {

// Answers one request on 127.0.0.1 and keeps what it received.
class RequestRecorder : public QTcpServer {
public:
    RequestRecorder() {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    received += socket->readAll();
                    if (!received.contains("\r\n\r\n") || !complete())
                        return;
                    socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: "
                                  "13\r\nConnection: close\r\n\r\n<html></html>");
                    socket->disconnectFromHost();
                });
            }
        });
        listen(QHostAddress::LocalHost);
    }
    bool complete() const {
        const qsizetype end = received.indexOf("\r\n\r\n") + 4;
        const auto length =
            QRegularExpression("Content-Length: (\\d+)", QRegularExpression::CaseInsensitiveOption)
                .match(QString::fromLatin1(received.left(end)));
        return !length.hasMatch() || received.size() - end >= length.captured(1).toInt();
    }
    QByteArray received;
};

TEST_F(HostFixture, NavigateWithARequestOfItsOwn) {
    ASSERT_TRUE(start());
    RequestRecorder server;
    ASSERT_TRUE(server.isListening());
    const QString url = QStringLiteral("http://127.0.0.1:%1/form").arg(server.serverPort());
    QList<Variant> args{Variant(url),
                        Variant(QStringLiteral("put")),
                        Variant(QString::fromUtf8("a=1&b=\xC3\xA9")),
                        Variant(QStringLiteral("X-Kest: yes\r\nAccept: text/html")),
                        Variant(true),
                        Variant(10.0)};
    host->invokeByName("NavigateWithWebResourceRequest", InvokeFlags::Method, args);
    EXPECT_EQ(args[1], Variant(QStringLiteral("POST"))); // only GET stays itself
    ASSERT_TRUE(
        pump::waitUntil([&] { return server.complete() && !server.received.isEmpty(); }, 10s));
    EXPECT_TRUE(server.received.startsWith("POST /form HTTP/1.1\r\n"))
        << server.received.left(40).toStdString();
    EXPECT_TRUE(server.received.contains("X-Kest: yes\r\n"));
    EXPECT_TRUE(server.received.endsWith("a=1&b=\xC3\xA9"));

    server.received.clear();
    args = {Variant(url + "?q=1"), Variant(QStringLiteral("get")),
            Variant(QString()),    Variant(QString()),
            Variant(true),         Variant(10.0)};
    host->invokeByName("NavigateWithWebResourceRequest", InvokeFlags::Method, args);
    EXPECT_EQ(args[1], Variant(QStringLiteral("GET")));
    // The browser may ask for other things too (an icon): look for the request itself.
    EXPECT_TRUE(pump::waitUntil(
        [&] { return server.received.contains("GET /form?q=1 HTTP/1.1\r\n"); }, 10s));
}

} // namespace
