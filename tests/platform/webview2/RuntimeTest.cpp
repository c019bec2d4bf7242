// The browser runtime loaded as the control library loads it: with dlopen,
// after the QApplication exists, on real Qt WebEngine pages.
#include "RuntimeFixture.h"

#include "platform/automation/AutomationError.h"
#include "platform/automation/Dispatch.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QProcess>
#include <QRegularExpression>
#include <QWindow>

#include <csignal>

namespace {

// A host object: Add(a, b), Fail() raising an error, Twice(by-ref n), and
// CallBack(pageFunction, value) which calls the page's function and keeps it.
class HostObject : public DispatchObject {
public:
    HostObject()
        : DispatchObject(info()) {
        bind("Add", InvokeFlags::Method, [this](QList<Variant>& a) {
            calls.append(a[0].toLong());
            return Variant(a[0].toLong() + a[1].toLong());
        });
        bind("Fail", InvokeFlags::Method, [](QList<Variant>&) -> Variant {
            throw AutomationError(1001, QStringLiteral("host says no"));
        });
        bind("Twice", InvokeFlags::Method, [](QList<Variant>& a) {
            a[0] = Variant(a[0].toLong() * 2);
            return Variant(a[0].toLong());
        });
        bind("CallBack", InvokeFlags::Method, [this](QList<Variant>& a) {
            kept = a[0].toObject();
            return kept->call(QStringLiteral("compute"), {a[1]});
        });
    }

    QList<int> calls;
    DispatchPtr kept;

private:
    static const TypeInfo& info() {
        static const TypeInfo type{
            QStringLiteral("IHost"),
            {},
            {MemberInfo(1, QStringLiteral("Add"), InvokeFlags::Method, VarType::Variant,
                        {ParamInfo(QStringLiteral("a")), ParamInfo(QStringLiteral("b"))}),
             MemberInfo(2, QStringLiteral("Fail"), InvokeFlags::Method),
             MemberInfo(3, QStringLiteral("Twice"), InvokeFlags::Method, VarType::Variant,
                        {ParamInfo(QStringLiteral("n"), VarType::Variant, true)}),
             MemberInfo(4, QStringLiteral("CallBack"), InvokeFlags::Method, VarType::Variant,
                        {ParamInfo(QStringLiteral("f")), ParamInfo(QStringLiteral("v"))})},
            {}};
        return type;
    }
};

TEST_F(RuntimeTest, EnvironmentNeedsARuntimeFolderWithTheEngineProcess) {
    HRESULT result = 0;
    EXPECT_FALSE(createEnvironment(data.path(), &result));
    EXPECT_EQ(result, static_cast<HRESULT>(0x80070002));
    QString version;
    EXPECT_EQ(loader().version(data.path(), &version), static_cast<HRESULT>(0x80070002));

    auto environment = createEnvironment({}, &result);
    ASSERT_TRUE(environment);
    EXPECT_EQ(loader().version({}, &version), hr::S_OK);
    QString environmentVersion;
    environment->get_BrowserVersionString(&environmentVersion);
    EXPECT_EQ(environmentVersion, version);
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+\\.\\d+$")).match(version).hasMatch())
        << version.toStdString();
}

TEST_F(RuntimeTest, ExecuteScriptAnswersWithTheJsonTextOfTheValue) {
    open();
    ASSERT_TRUE(loadHtml(QStringLiteral("<html><body>x</body></html>")));
    const QList<std::pair<QString, QString>> rows{
        {"1+1", "2"},          {"'a\"b'", "\"a\\\"b\""},
        {"undefined", "null"}, {"({b: 1, a: [true, null]})", "{\"b\":1,\"a\":[true,null]}"},
        {"var g = 5; g", "5"}, {"throw new Error('x')", "null"},
    };
    for (const auto& [script, json] : rows)
        EXPECT_EQ(execute(script), json) << script.toStdString();
    EXPECT_EQ(execute(QStringLiteral("g")), QStringLiteral("5")) << "a global script";
}

// A page whose policy refuses script built from text still runs the host's scripts, each once,
// with their values (objects through the engine's conversion, whose keys come out sorted).
TEST_F(RuntimeTest, ExecuteScriptRunsInAPageThatRefusesEval) {
    open();
    const QString page =
        writePage("noeval.html", "<html><head><meta http-equiv=\"Content-Security-Policy\" "
                                 "content=\"default-src 'none'\"></head><body>x</body></html>");
    ASSERT_TRUE(load([&] { webview->Navigate(page); }));
    EXPECT_EQ(execute(QStringLiteral("try { eval('1'); 'eval ran' } catch (e) { e.name }")),
              QStringLiteral("\"EvalError\""));
    const QList<std::pair<QString, QString>> rows{
        {"1+1", "2"},
        {"'a\"b'", "\"a\\\"b\""},
        {"undefined", "null"},
        {"({a: [true, null, 'x']})", "{\"a\":[true,null,\"x\"]}"},
        {"throw new Error('x')", "null"},
        {"window.runs = (window.runs || 0) + 1", "1"},
        {"window.runs = (window.runs || 0) + 1", "2"},
    };
    for (const auto& [script, json] : rows)
        EXPECT_EQ(execute(script), json) << script.toStdString();
}

TEST_F(RuntimeTest, PagesTalkToTheHostThroughChromeWebview) {
    open();
    QList<std::pair<QString, QString>> received;
    EventRegistrationToken token;
    webview->add_WebMessageReceived(
        makeHandler<ICoreWebView2WebMessageReceivedEventHandler>(
            [&](ICoreWebView2*, ICoreWebView2WebMessageReceivedEventArgs* args) {
                QString json, text;
                args->get_WebMessageAsJson(&json);
                if (hr::failed(args->TryGetWebMessageAsString(&text)))
                    text = QStringLiteral("<not a string>");
                received.append({text, json});
                return hr::S_OK;
            })
            .get(),
        &token);
    const QString url = writePage(QStringLiteral("first.html"), R"(<html><head><script>
        window.early = typeof chrome.webview.postMessage;
        chrome.webview.postMessage('hello "there"');
        chrome.webview.postMessage({n: 1, s: 'x'});
        chrome.webview.addEventListener('message', function (e) { document.title = 'got ' + e.data; });
        </script></head><body></body></html>)");
    ASSERT_TRUE(load([&] { webview->Navigate(url); }));
    EXPECT_EQ(execute(QStringLiteral("window.early")), QStringLiteral("\"function\""));
    ASSERT_TRUE(waitFor([&] { return received.size() == 2; }));
    EXPECT_EQ(received[0], std::make_pair(QStringLiteral("hello \"there\""),
                                          QStringLiteral("\"hello \\\"there\\\"\"")));
    EXPECT_EQ(received[1], std::make_pair(QStringLiteral("<not a string>"),
                                          QStringLiteral("{\"n\":1,\"s\":\"x\"}")));

    EXPECT_EQ(webview->PostWebMessageAsString(QStringLiteral("ping")), hr::S_OK);
    QString title;
    ASSERT_TRUE(waitFor([&] {
        webview->get_DocumentTitle(&title);
        return title == QLatin1String("got ping");
    }));
    EXPECT_EQ(webview->PostWebMessageAsJson(QStringLiteral("{not json")), hr::E_INVALIDARG);
}

// A killed renderer is replaced by a new one; documents navigated to while it
// starts must still get window.chrome.webview. The placeholder-then-page
// sequence is the viewer's after a crash, where the page once ran without it.
TEST_F(RuntimeTest, DocumentsAfterARendererCrashStillReachTheHost) {
    open();
    bool failed = false;
    bool textStarted = false;
    QStringList completedAt;
    EventRegistrationToken token;
    webview->add_ProcessFailed(makeHandler<ICoreWebView2ProcessFailedEventHandler>(
                                   [&](ICoreWebView2*, ICoreWebView2ProcessFailedEventArgs*) {
                                       failed = true;
                                       return hr::S_OK;
                                   })
                                   .get(),
                               &token);
    webview->add_NavigationStarting(
        makeHandler<ICoreWebView2NavigationStartingEventHandler>(
            [&](ICoreWebView2*, ICoreWebView2NavigationStartingEventArgs* args) {
                QString uri;
                args->get_Uri(&uri);
                textStarted = textStarted || uri == QLatin1String("about:blank");
                return hr::S_OK;
            })
            .get(),
        &token);
    webview->add_NavigationCompleted(
        makeHandler<ICoreWebView2NavigationCompletedEventHandler>(
            [&](ICoreWebView2* view, ICoreWebView2NavigationCompletedEventArgs*) {
                QString uri;
                view->get_Source(&uri);
                completedAt << uri;
                return hr::S_OK;
            })
            .get(),
        &token);
    const QString url = writePage(QStringLiteral("page.html"), "<html><body>page</body></html>");
    ASSERT_TRUE(load([&] { webview->Navigate(url); }));
    QObject* page = nullptr;
    for (QObject* object : window->findChildren<QObject*>())
        if (object->inherits("QWebEnginePage"))
            page = object;
    ASSERT_NE(page, nullptr);
    const QString bridged = QStringLiteral("\"%1 object\"").arg(url);
    for (int round = 0; round < 6; ++round) {
        const qint64 pid = page->property("renderProcessPid").toLongLong();
        ASSERT_GT(pid, 0);
        failed = false;
        ASSERT_EQ(::kill(static_cast<pid_t>(pid), SIGKILL), 0);
        ASSERT_TRUE(waitFor([&] { return failed; }));
        completedAt.clear();
        textStarted = false;
        webview->NavigateToString(QStringLiteral("<p>wait</p>"));
        // Every other round, the text's load has started when the page is asked for.
        if (round % 2) {
            ASSERT_TRUE(waitFor([&] { return textStarted; }));
        }
        webview->Navigate(url);
        EXPECT_TRUE(waitFor([&] { return completedAt.contains(url); })) << "round " << round;
        EXPECT_TRUE(waitFor([&] {
            return execute(QStringLiteral("location.href + ' ' + typeof chrome.webview")) ==
                   bridged;
        })) << "round "
            << round;
    }
}

TEST_F(RuntimeTest, HostObjectsAnswerSynchronouslyInCallOrder) {
    open();
    auto host = std::make_shared<HostObject>();
    Variant object{DispatchPtr(host)};
    ASSERT_EQ(webview->AddHostObjectToScript(QStringLiteral("host"), &object), hr::S_OK);
    ASSERT_TRUE(loadHtml(QStringLiteral("<html><body></body></html>")));
    EXPECT_EQ(execute(QStringLiteral("var h = chrome.webview.hostObjects.sync.host;"
                                     "[h.Add(1, 2), h.Add(10, 20), h.Add(100, 200), h.Twice(21)]")),
              QStringLiteral("[3,30,300,42]"));
    EXPECT_EQ(host->calls, (QList<int>{1, 10, 100}));
    EXPECT_EQ(execute(QStringLiteral("try { h.Fail(); 'no error' } catch (e) { e.message }")),
              QStringLiteral("\"host says no\""));
    EXPECT_EQ(
        execute(QStringLiteral("try { chrome.webview.hostObjects.sync.nobody.Go(); 'no error' }"
                               " catch (e) { e instanceof Error }")),
        QStringLiteral("true"));

    ComPtr<ICoreWebView2Settings> settings;
    webview->get_Settings(settings.put());
    settings->put_AreHostObjectsAllowed(false);
    EXPECT_EQ(execute(QStringLiteral("try { h.Add(1, 1); 'called' } catch (e) { 'refused' }")),
              QStringLiteral("\"refused\""));
}

// Adding a host object renews the script documents start with (it lists the
// object's methods); scripts added before it still run after it.
TEST_F(RuntimeTest, AHostObjectAddedLaterKeepsTheOrderOfDocumentScripts) {
    open();
    webview->AddScriptToExecuteOnDocumentCreated(
        QStringLiteral("window.early = typeof chrome.webview.hostObjects.sync;"), nullptr);
    auto host = std::make_shared<HostObject>();
    Variant object{DispatchPtr(host)};
    ASSERT_EQ(webview->AddHostObjectToScript(QStringLiteral("host"), &object), hr::S_OK);
    ASSERT_TRUE(loadHtml(QStringLiteral("<html><body></body></html>")));
    EXPECT_EQ(execute(QStringLiteral("window.early")), QStringLiteral("\"object\""));
    EXPECT_EQ(execute(QStringLiteral("var h = chrome.webview.hostObjects.sync.host;"
                                     "[typeof h.Add, h.Add(4, 5)]")),
              QStringLiteral("[\"function\",9]"));
    EXPECT_EQ(execute(QStringLiteral("try { h.Missing(); 'called' } catch (e) { 'refused' }")),
              QStringLiteral("\"refused\""));
}

TEST_F(RuntimeTest, APageObjectRunsInItsDocumentUntilThatDocumentIsGone) {
    open();
    auto host = std::make_shared<HostObject>();
    Variant object{DispatchPtr(host)};
    webview->AddHostObjectToScript(QStringLiteral("host"), &object);
    ASSERT_TRUE(loadHtml(QStringLiteral("<html><body></body></html>")));
    // The page blocks in its own host call, so the host cannot call back into it then.
    EXPECT_EQ(execute(QStringLiteral(
                  "try { chrome.webview.hostObjects.sync.host.CallBack("
                  "{ compute: function (v) { return v * 3; } }, 5) } catch (e) { 'busy' }")),
              QStringLiteral("\"busy\""));
    ASSERT_TRUE(host->kept);
    // Once the page is free, the kept object runs in it.
    EXPECT_EQ(host->kept->call(QStringLiteral("compute"), {Variant(7)}).toLong(), 21);

    ASSERT_TRUE(loadHtml(QStringLiteral("<html><body>next</body></html>")));
    try {
        host->kept->call(QStringLiteral("compute"), {Variant(1)});
        FAIL() << "a page object of a gone document answered";
    } catch (const AutomationError& error) {
        EXPECT_LT(error.hresult(), 0);
    }
}

TEST_F(RuntimeTest, NavigationEventsCancelAndReportFailures) {
    open();
    EventRegistrationToken token;
    webview->add_NavigationStarting(
        makeHandler<ICoreWebView2NavigationStartingEventHandler>(
            [](ICoreWebView2*, ICoreWebView2NavigationStartingEventArgs* args) {
                QString uri;
                args->get_Uri(&uri);
                args->put_Cancel(uri.contains(QLatin1String("blocked")));
                return hr::S_OK;
            })
            .get(),
        &token);
    const QString allowed = writePage(QStringLiteral("allowed.html"), "<title>allowed</title>");
    const QString blocked = writePage(QStringLiteral("blocked.html"), "<title>blocked</title>");
    ASSERT_TRUE(load([&] { webview->Navigate(allowed); }));
    QList<COREWEBVIEW2_WEB_ERROR_STATUS> statuses;
    webview->add_NavigationCompleted(
        makeHandler<ICoreWebView2NavigationCompletedEventHandler>(
            [&](ICoreWebView2*, ICoreWebView2NavigationCompletedEventArgs* args) {
                COREWEBVIEW2_WEB_ERROR_STATUS status = COREWEBVIEW2_WEB_ERROR_STATUS_UNKNOWN;
                args->get_WebErrorStatus(&status);
                statuses.append(status);
                return hr::S_OK;
            })
            .get(),
        &token);
    EXPECT_FALSE(load([&] { webview->Navigate(blocked); }));
    // One completion only, as cancelled.
    waitFor([] { return false; }, 500ms);
    EXPECT_EQ(statuses, QList{COREWEBVIEW2_WEB_ERROR_STATUS_OPERATION_CANCELED});
    QString source;
    webview->get_Source(&source);
    EXPECT_EQ(source, allowed);

    EXPECT_FALSE(load([&] {
        webview->Navigate(
            QUrl::fromLocalFile(data.filePath(QStringLiteral("missing.html"))).toString());
    }));
}

TEST_F(RuntimeTest, WebResourceRequestedBlocksAResourceGivenAResponse) {
    open();
    ComPtr<ICoreWebView2Environment> environment;
    webview.query<ICoreWebView2_2>()->get_Environment(environment.put());
    QStringList seen;
    EventRegistrationToken token;
    webview->add_WebResourceRequested(
        makeHandler<ICoreWebView2WebResourceRequestedEventHandler>(
            [&](ICoreWebView2*, ICoreWebView2WebResourceRequestedEventArgs* args) {
                ComPtr<ICoreWebView2WebResourceRequest> request;
                args->get_Request(request.put());
                QString uri;
                request->get_Uri(&uri);
                seen.append(uri);
                ComPtr<ICoreWebView2WebResourceResponse> response;
                environment->CreateWebResourceResponse({}, 403, QStringLiteral("Forbidden"), {},
                                                       response.put());
                args->put_Response(response.get());
                return hr::S_OK;
            })
            .get(),
        &token);
    ASSERT_EQ(webview->AddWebResourceRequestedFilter(QStringLiteral("*blocked.js"),
                                                     COREWEBVIEW2_WEB_RESOURCE_CONTEXT_SCRIPT),
              hr::S_OK);
    writePage(QStringLiteral("blocked.js"), "window.blockedRan = true;");
    writePage(QStringLiteral("allowed.js"), "window.allowedRan = true;");
    const QString url =
        writePage(QStringLiteral("page.html"),
                  "<script src='blocked.js'></script><script src='allowed.js'></script>");
    ASSERT_TRUE(load([&] { webview->Navigate(url); }));
    EXPECT_EQ(execute(QStringLiteral("[!!window.blockedRan, !!window.allowedRan]")),
              QStringLiteral("[false,true]"));
    ASSERT_EQ(seen.size(), 1);
    EXPECT_TRUE(seen[0].endsWith(QLatin1String("/blocked.js")));
}

TEST_F(RuntimeTest, CapturePreviewAndPrintToPdfProduceRealFiles) {
    open();
    ASSERT_TRUE(loadHtml(QStringLiteral("<body style='background:#f00'><h1>Print me</h1></body>")));
    for (auto format : {COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT_PNG,
                        COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT_JPEG}) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        HRESULT captured = 1;
        webview->CapturePreview(
            format, &buffer,
            makeHandler<ICoreWebView2CapturePreviewCompletedHandler>([&](HRESULT result) {
                return captured = result, hr::S_OK;
            }).get());
        ASSERT_TRUE(waitFor([&] { return captured != 1; }));
        EXPECT_EQ(captured, hr::S_OK);
        const QImage image = QImage::fromData(buffer.data(), format ? "JPG" : "PNG");
        EXPECT_EQ(image.size(), QSize(320, 240));
    }

    const QString pdf = data.filePath(QStringLiteral("out.pdf"));
    int printed = -1;
    ASSERT_EQ(webview.query<ICoreWebView2_7>()->PrintToPdf(
                  pdf, nullptr,
                  makeHandler<ICoreWebView2PrintToPdfCompletedHandler>([&](HRESULT, bool ok) {
                      return printed = ok, hr::S_OK;
                  }).get()),
              hr::S_OK);
    ASSERT_TRUE(waitFor([&] { return printed != -1; }));
    EXPECT_EQ(printed, 1);
    QProcess render;
    render.start(QStringLiteral("pdftoppm"), {QStringLiteral("-png"), QStringLiteral("-r"),
                                              QStringLiteral("20"), pdf, data.filePath("page")});
    ASSERT_TRUE(render.waitForFinished(20000));
    EXPECT_EQ(render.exitCode(), 0);
    EXPECT_FALSE(QDir(data.path()).entryList({QStringLiteral("page*.png")}).isEmpty());
}

TEST_F(RuntimeTest, CompletionsAfterCloseAreDropped) {
    open();
    ASSERT_TRUE(loadHtml(QStringLiteral("<body>x</body>")));
    int calls = 0;
    webview->ExecuteScript(
        QStringLiteral("1"),
        makeHandler<ICoreWebView2ExecuteScriptCompletedHandler>([&](HRESULT, const QString&) {
            return ++calls, hr::S_OK;
        }).get());
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    webview->CapturePreview(COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT_PNG, &buffer,
                            makeHandler<ICoreWebView2CapturePreviewCompletedHandler>([&](HRESULT) {
                                return ++calls, hr::S_OK;
                            }).get());
    controller->Close();
    pump::waitUntil([] { return false; }, 500ms);
    EXPECT_EQ(calls, 0);
    QString source;
    EXPECT_EQ(webview->get_Source(&source), hr::ERROR_INVALID_STATE);
}

} // namespace

TEST_F(RuntimeTest, AnAcceleratorKeyIsReportedOncePerPressAndOncePerRelease) {
    open();
    ASSERT_TRUE(loadHtml(QStringLiteral("<html><body><input autofocus></body></html>")));
    QList<COREWEBVIEW2_KEY_EVENT_KIND> kinds;
    EventRegistrationToken token;
    controller->add_AcceleratorKeyPressed(
        makeHandler<ICoreWebView2AcceleratorKeyPressedEventHandler>(
            [&](ICoreWebView2Controller*, ICoreWebView2AcceleratorKeyPressedEventArgs* args) {
                COREWEBVIEW2_KEY_EVENT_KIND kind = COREWEBVIEW2_KEY_EVENT_KIND_KEY_DOWN;
                args->get_KeyEventKind(&kind);
                kinds.append(kind);
                return hr::S_OK;
            })
            .get(),
        &token);
    ASSERT_TRUE(focusIntoView());
    const QList<std::pair<int, Qt::KeyboardModifiers>> keys{{Qt::Key_P, Qt::ControlModifier},
                                                            {Qt::Key_F5, Qt::NoModifier}};
    for (const auto& [key, modifiers] : keys) {
        kinds.clear();
        // As the window system delivers them: to the window, which hands them on.
        QKeyEvent press(QEvent::KeyPress, key, modifiers);
        QKeyEvent release(QEvent::KeyRelease, key, modifiers);
        QCoreApplication::sendEvent(window->windowHandle(), &press);
        QCoreApplication::sendEvent(window->windowHandle(), &release);
        EXPECT_EQ(kinds, (QList<COREWEBVIEW2_KEY_EVENT_KIND>{COREWEBVIEW2_KEY_EVENT_KIND_KEY_DOWN,
                                                             COREWEBVIEW2_KEY_EVENT_KIND_KEY_UP}))
            << "key " << key;
    }
}

TEST_F(RuntimeTest, FocusLeavingThePageByTabAsksToMoveTheFocusOn) {
    open();
    ASSERT_TRUE(loadHtml(QStringLiteral("<html><body><input autofocus></body></html>")));
    QLineEdit* outside = addFieldBelowThePage();
    QList<int> reasons;
    recordFocusMoves(reasons);
    const struct {
        Qt::FocusReason leaving;
        QList<int> expected;
    } rows[] = {
        {Qt::TabFocusReason, {COREWEBVIEW2_MOVE_FOCUS_REASON_NEXT}},
        {Qt::BacktabFocusReason, {COREWEBVIEW2_MOVE_FOCUS_REASON_PREVIOUS}},
        {Qt::MouseFocusReason, {}},
        {Qt::OtherFocusReason, {}},
    };
    for (const auto& row : rows) {
        ASSERT_TRUE(focusIntoView()) << row.leaving;
        reasons.clear();
        outside->setFocus(row.leaving);
        waitFor([&] { return !reasons.isEmpty(); }, row.expected.isEmpty() ? 300ms : 5s);
        EXPECT_EQ(reasons, row.expected) << "focus reason " << row.leaving;
    }
}

TEST_F(RuntimeTest, TabPastThePageAsksToMoveTheFocusOn) {
    open();
    ASSERT_TRUE(loadHtml(QStringLiteral("<html><body><input id=last></body></html>")));
    QLineEdit* outside = addFieldBelowThePage();
    QList<int> reasons;
    recordFocusMoves(reasons);
    ASSERT_TRUE(focusIntoView());
    execute(QStringLiteral("document.getElementById('last').focus()"));
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier, QStringLiteral("\t"));
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Tab, Qt::NoModifier, QStringLiteral("\t"));
    QCoreApplication::sendEvent(window->windowHandle(), &press);
    QCoreApplication::sendEvent(window->windowHandle(), &release);
    EXPECT_TRUE(waitFor([&] { return !reasons.isEmpty(); }, 5s));
    EXPECT_EQ(reasons, QList<int>{COREWEBVIEW2_MOVE_FOCUS_REASON_NEXT});
    EXPECT_EQ(QApplication::focusWidget(), outside);
}

TEST_F(RuntimeTest, TheColourSchemeIsTheOneTheBrowserStartedWith) {
    // No test of this process starts the browser dark.
    open();
    ASSERT_TRUE(loadHtml(QStringLiteral("<html><body>x</body></html>")));
    EXPECT_EQ(execute(QStringLiteral("matchMedia('(prefers-color-scheme: dark)').matches")),
              QStringLiteral("false"));
    ComPtr<ICoreWebView2Profile> profile;
    ASSERT_EQ(webview.query<ICoreWebView2_13>()->get_Profile(profile.put()), hr::S_OK);
    COREWEBVIEW2_PREFERRED_COLOR_SCHEME scheme = COREWEBVIEW2_PREFERRED_COLOR_SCHEME_DARK;
    EXPECT_EQ(profile->get_PreferredColorScheme(&scheme), hr::S_OK);
    EXPECT_EQ(scheme, COREWEBVIEW2_PREFERRED_COLOR_SCHEME_AUTO);
    const QList<std::pair<COREWEBVIEW2_PREFERRED_COLOR_SCHEME, HRESULT>> puts{
        {COREWEBVIEW2_PREFERRED_COLOR_SCHEME_LIGHT, hr::S_OK},
        {COREWEBVIEW2_PREFERRED_COLOR_SCHEME_AUTO, hr::S_OK},
        {COREWEBVIEW2_PREFERRED_COLOR_SCHEME_DARK, static_cast<HRESULT>(0x80070032)},
        {static_cast<COREWEBVIEW2_PREFERRED_COLOR_SCHEME>(7), hr::E_INVALIDARG},
    };
    for (const auto& [value, result] : puts)
        EXPECT_EQ(profile->put_PreferredColorScheme(value), result) << value;
}

TEST_F(RuntimeTest, TheRuntimeListsTheFacilitiesItLacks) {
    void* library =
        dlopen((qgetenv("KEST_BIN_DIR") + "/KestDicomAx/libWebView2Loader.so").constData(),
               RTLD_NOW | RTLD_LOCAL);
    ASSERT_TRUE(library);
    const auto absent = reinterpret_cast<GetCoreWebView2AbsentFacilitiesFn>(
        dlsym(library, "GetCoreWebView2AbsentFacilities"));
    ASSERT_TRUE(absent);
    QStringList names;
    EXPECT_EQ(absent(nullptr), hr::E_POINTER);
    ASSERT_EQ(absent(&names), hr::S_OK);
    for (const char* name : {"EnableTrackingPrevention", "AreBrowserExtensionsEnabled",
                             "PreferredTrackingPreventionLevel", "IsGeneralAutofillEnabled",
                             "IsPasswordAutosaveEnabled"})
        EXPECT_TRUE(names.contains(QLatin1String(name))) << name;
    // What the runtime does serve is not on the list.
    EXPECT_FALSE(names.contains(QStringLiteral("PreferredColorScheme")));
    dlclose(library);
}
