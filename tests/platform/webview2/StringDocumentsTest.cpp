// Text pages (NavigateToString): shown in the renderer of the pages around
// them, with the document scripts and the events of any other document, and
// shown again when history returns to them.
#include "RuntimeFixture.h"

#include <QWebEnginePage>
#include <QWebEngineView>

namespace {

class StringDocumentsTest : public RuntimeTest {
protected:
    qint64 rendererPid() const {
        auto* view = window->findChild<QWebEngineView*>();
        return view ? view->page()->renderProcessPid() : 0;
    }

    QString source() const {
        QString uri;
        webview->get_Source(&uri);
        return uri;
    }

    QString bodyText() { return execute(QStringLiteral("document.body.textContent")); }

    // Records the events of each navigation, in order.
    void recordEvents(QStringList& events) {
        EventRegistrationToken token;
        webview->add_NavigationStarting(
            makeHandler<ICoreWebView2NavigationStartingEventHandler>(
                [&events](ICoreWebView2*, ICoreWebView2NavigationStartingEventArgs* args) {
                    QString uri;
                    args->get_Uri(&uri);
                    events << QStringLiteral("starting ") + uri;
                    return hr::S_OK;
                })
                .get(),
            &token);
        webview->add_ContentLoading(
            makeHandler<ICoreWebView2ContentLoadingEventHandler>(
                [&events](ICoreWebView2*, ICoreWebView2ContentLoadingEventArgs*) {
                    events << QStringLiteral("content");
                    return hr::S_OK;
                })
                .get(),
            &token);
        webview.query<ICoreWebView2_2>()->add_DOMContentLoaded(
            makeHandler<ICoreWebView2DOMContentLoadedEventHandler>(
                [&events](ICoreWebView2*, ICoreWebView2DOMContentLoadedEventArgs*) {
                    events << QStringLiteral("dom");
                    return hr::S_OK;
                })
                .get(),
            &token);
        webview->add_NavigationCompleted(
            makeHandler<ICoreWebView2NavigationCompletedEventHandler>(
                [&events](ICoreWebView2*, ICoreWebView2NavigationCompletedEventArgs* args) {
                    bool ok = false;
                    args->get_IsSuccess(&ok);
                    events << (ok ? QStringLiteral("completed") : QStringLiteral("failed"));
                    return hr::S_OK;
                })
                .get(),
            &token);
    }
};

TEST_F(StringDocumentsTest, ATextStaysInTheRendererOfTheFilePagesAndCannotReadThem) {
    open();
    const QString page = writePage(QStringLiteral("page.html"), "<title>page</title><p>file</p>");
    ASSERT_TRUE(load([&] { webview->Navigate(page); }));
    const qint64 pid = rendererPid();
    ASSERT_GT(pid, 0);

    ASSERT_TRUE(loadHtml(QStringLiteral("<title>text</title><p>shown</p>")));
    EXPECT_EQ(rendererPid(), pid);
    EXPECT_EQ(source(), QStringLiteral("about:blank"));
    EXPECT_EQ(bodyText(), QStringLiteral("\"shown\""));
    // The text has no origin of its own: the file beside it is out of its reach.
    EXPECT_EQ(execute(QStringLiteral("self.origin")), QStringLiteral("\"null\""));
    EXPECT_EQ(execute(QStringLiteral(
                          "try { var x = new XMLHttpRequest(); x.open('GET', %1, false); x.send();"
                          " 'read ' + x.responseText.length } catch (e) { e.name }")
                          .arg(QLatin1Char('\'') + page + QLatin1Char('\''))),
              QStringLiteral("\"NetworkError\""));

    ASSERT_TRUE(load([&] { webview->Navigate(page); }));
    EXPECT_EQ(rendererPid(), pid);
    EXPECT_EQ(bodyText(), QStringLiteral("\"file\""));
}

TEST_F(StringDocumentsTest, DocumentScriptsRunOnceInEachTextBeforeItsOwnScripts) {
    open();
    webview->AddScriptToExecuteOnDocumentCreated(
        QStringLiteral("window.runs = (window.runs || 0) + 1;"
                       "window.addEventListener('probe', function () { window.heard = true; });"),
        nullptr);
    const QString text = QStringLiteral(
        "<script>window.seen = [window.runs, typeof chrome.webview.postMessage];</script>");
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(loadHtml(text));
        EXPECT_EQ(execute(QStringLiteral("[window.seen, window.runs]")),
                  QStringLiteral("[[1,\"function\"],1]"))
            << "round " << round;
        // Listeners the scripts add outlive the opening of the document.
        EXPECT_EQ(execute(QStringLiteral("dispatchEvent(new Event('probe')); window.heard")),
                  QStringLiteral("true"));
    }
    // An address navigated to is a document like the others.
    ASSERT_TRUE(load([&] { webview->Navigate(QStringLiteral("about:blank")); }));
    EXPECT_EQ(execute(QStringLiteral("window.runs")), QStringLiteral("1"));
}

TEST_F(StringDocumentsTest, ATextIsShownWithScriptingOff) {
    open();
    ComPtr<ICoreWebView2Settings> settings;
    ASSERT_EQ(webview->get_Settings(settings.put()), hr::S_OK);
    ASSERT_EQ(settings->put_IsScriptEnabled(false), hr::S_OK);
    ASSERT_TRUE(
        loadHtml(QStringLiteral("<title>plain</title><script>document.title = 'ran'</script>")));
    QString title;
    webview->get_DocumentTitle(&title);
    EXPECT_EQ(title, QStringLiteral("plain"));
}

TEST_F(StringDocumentsTest, ATextNavigationRaisesTheEventsOfAnyOther) {
    open();
    QStringList events;
    recordEvents(events);
    ASSERT_TRUE(loadHtml(QStringLiteral("<p>one</p>")));
    EXPECT_EQ(events, (QStringList{"starting about:blank", "content", "dom", "completed"}));

    // Cancelled, it completes once, unsuccessfully, and shows nothing.
    events.clear();
    EventRegistrationToken token;
    webview->add_NavigationStarting(
        makeHandler<ICoreWebView2NavigationStartingEventHandler>(
            [](ICoreWebView2*, ICoreWebView2NavigationStartingEventArgs* args) {
                args->put_Cancel(true);
                return hr::S_OK;
            })
            .get(),
        &token);
    EXPECT_FALSE(loadHtml(QStringLiteral("<p>two</p>")));
    waitFor([] { return false; }, 300ms);
    EXPECT_EQ(events, (QStringList{"starting about:blank", "failed"}));
    EXPECT_EQ(bodyText(), QStringLiteral("\"one\""));
}

TEST_F(StringDocumentsTest, HistoryReturnsToATextWithItsText) {
    open();
    const QString page = writePage(QStringLiteral("page.html"), "<p>file</p>");
    ASSERT_TRUE(loadHtml(QStringLiteral("<p>first</p>")));
    ASSERT_TRUE(load([&] { webview->Navigate(page); }));
    ASSERT_TRUE(load([&] { webview->GoBack(); }));
    EXPECT_EQ(bodyText(), QStringLiteral("\"first\""));
    ASSERT_TRUE(load([&] { webview->Reload(); }));
    EXPECT_EQ(bodyText(), QStringLiteral("\"first\""));
    ASSERT_TRUE(load([&] { webview->GoForward(); }));
    EXPECT_EQ(bodyText(), QStringLiteral("\"file\""));
    // A new text replaces the entries after the current one.
    ASSERT_TRUE(loadHtml(QStringLiteral("<p>second</p>")));
    ASSERT_TRUE(load([&] { webview->GoBack(); }));
    ASSERT_TRUE(load([&] { webview->GoBack(); }));
    EXPECT_EQ(bodyText(), QStringLiteral("\"first\""));
    ASSERT_TRUE(load([&] { webview->GoForward(); }));
    ASSERT_TRUE(load([&] { webview->GoForward(); }));
    EXPECT_EQ(bodyText(), QStringLiteral("\"second\""));

    // A text navigation cancelled leaves the entry shown as it was.
    bool cancel = true;
    EventRegistrationToken token;
    webview->add_NavigationStarting(
        makeHandler<ICoreWebView2NavigationStartingEventHandler>(
            [&cancel](ICoreWebView2*, ICoreWebView2NavigationStartingEventArgs* args) {
                args->put_Cancel(std::exchange(cancel, false));
                return hr::S_OK;
            })
            .get(),
        &token);
    EXPECT_FALSE(loadHtml(QStringLiteral("<p>never</p>")));
    ASSERT_TRUE(load([&] { webview->Reload(); }));
    EXPECT_EQ(bodyText(), QStringLiteral("\"second\""));
}

TEST_F(StringDocumentsTest, TheLastNavigationAskedForIsTheOneShown) {
    open();
    const QString page = writePage(QStringLiteral("page.html"), "<p>file</p>");
    webview->NavigateToString(QStringLiteral("<p>text</p>"));
    ASSERT_TRUE(load([&] { webview->Navigate(page); }));
    waitFor([] { return false; }, 300ms);
    EXPECT_EQ(source(), page);

    webview->Navigate(page);
    webview->NavigateToString(QStringLiteral("<p>text</p>"));
    ASSERT_TRUE(waitFor([&] { return bodyText() == QStringLiteral("\"text\""); }));
    EXPECT_EQ(source(), QStringLiteral("about:blank"));
}

} // namespace
