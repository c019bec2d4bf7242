#include "BindingFixture.h"

#include "platform/MessagePump.h"
#include "tests/common/QtPrinters.h"
#include "webview2_binding/Collection.h"

#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>

namespace {

struct Message {
    QString name;
    QString content;
    QString json;
};

class BindingEventsTest : public BindingTest {
protected:
    void collectMessages() {
        QObject::connect(browser.get(), &cWebView2::JSMessage,
                         [this](const QString& name, const QString& content, QString& json) {
                             messages.append({name, content, json});
                         });
    }
    QList<Message> messages;
};

TEST_F(BindingEventsTest, PageMessagesArriveAsJsMessage) {
    ASSERT_TRUE(bind());
    collectMessages();
    ASSERT_TRUE(open("m.html", R"(<html><body><script>
        vbH().RaiseMessageEvent('imageChanged', '{"largeur":512}');
        chrome.webview.postMessage('plain text');
        chrome.webview.postMessage({ kind: 'object', n: 2 });
    </script></body></html>)"));
    ASSERT_TRUE(waitFor([this] { return messages.size() == 3; }));
    EXPECT_EQ(messages[0].name, QStringLiteral("imageChanged"));
    EXPECT_EQ(messages[0].content, QStringLiteral("{\"largeur\":512}"));
    EXPECT_EQ(messages[1].name, QStringLiteral("plain text"));
    EXPECT_EQ(messages[1].content, QString());
    EXPECT_EQ(messages[2].name, QString());
    EXPECT_EQ(messages[2].content, QStringLiteral("{\"kind\":\"object\",\"n\":2}"));
    for (const Message& message : messages)
        EXPECT_EQ(message.json, QStringLiteral("null"));
}

TEST_F(BindingEventsTest, HostMessagesReachThePage) {
    ASSERT_TRUE(bind());
    collectMessages();
    ASSERT_TRUE(open("echo.html", R"(<html><body><script>
        chrome.webview.addEventListener('message', function(e) {
            vbH().RaiseMessageEvent('echo', typeof e.data === 'string' ? e.data : JSON.stringify(e.data));
        });
    </script></body></html>)"));
    browser->PostWebMessageAsString("hello");
    browser->PostWebMessageAsJson("{\"a\":[1,2]}");
    ASSERT_TRUE(waitFor([this] { return messages.size() == 2; }));
    EXPECT_EQ(messages[0].content, QStringLiteral("hello"));
    EXPECT_EQ(messages[1].content, QStringLiteral("{\"a\":[1,2]}"));
}

TEST_F(BindingEventsTest, CancelledNavigationLeavesThePage) {
    ASSERT_TRUE(bind());
    ASSERT_TRUE(open("first.html", "<html><head><title>First</title></head></html>"));
    QStringList starting;
    QObject::connect(browser.get(), &cWebView2::NavigationStarting,
                     [&](bool, bool, const QString& uri, bool& cancel) {
                         starting.append(uri);
                         cancel = uri.endsWith("second.html");
                     });
    QFile second(dir.filePath("second.html"));
    ASSERT_TRUE(second.open(QIODevice::WriteOnly));
    second.write("<html><head><title>Second</title></head></html>");
    second.close();
    browser->Navigate(pageUrl("second.html"), 3);
    pump::waitUntil([] { return false; }, std::chrono::milliseconds(500));
    ASSERT_EQ(starting.size(), 1);
    EXPECT_TRUE(browser->DocumentURL().endsWith("first.html"));
    EXPECT_EQ(browser->DocumentTitle(), QStringLiteral("First"));
}

TEST_F(BindingEventsTest, FailedNavigationHasNoDocumentComplete) {
    ASSERT_TRUE(bind());
    QList<std::pair<bool, int>> completed;
    int documentCompletes = 0;
    QObject::connect(browser.get(), &cWebView2::NavigationCompleted, [&](bool success, int status) {
        completed.append({success, status});
    });
    QObject::connect(browser.get(), &cWebView2::DocumentComplete, [&] { ++documentCompletes; });
    EXPECT_EQ(browser->Navigate(pageUrl("missing.html"), 20), Variant(std::int32_t(1)));
    ASSERT_TRUE(waitFor([&] { return !completed.isEmpty(); }));
    pump::waitUntil([] { return false; }, std::chrono::milliseconds(200));
    EXPECT_FALSE(completed[0].first);
    EXPECT_EQ(documentCompletes, 0);

    ASSERT_TRUE(open("ok.html", "<html></html>"));
    ASSERT_TRUE(waitFor([&] { return documentCompletes == 1; }));
    EXPECT_TRUE(completed.back().first);
}

TEST_F(BindingEventsTest, PermitTwoBlocksAResource) {
    ASSERT_TRUE(bind());
    QStringList requested;
    QObject::connect(browser.get(), &cWebView2::WebResourceRequested,
                     [&](const QString& uri, int, int& permit) {
                         requested.append(uri);
                         permit = uri.endsWith("blocked.js") ? 2 : 0;
                     });
    browser->AddWebResourceRequestedFilter("*.js", 0);
    for (const char* name : {"blocked.js", "allowed.js"}) {
        QFile script(dir.filePath(name));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(QByteArray("window['") + name + "'] = true;");
    }
    ASSERT_TRUE(open("r.html", R"(<html><head><script src="blocked.js"></script>
        <script src="allowed.js"></script></head><body></body></html>)"));
    EXPECT_EQ(requested.size(), 2);
    EXPECT_TRUE(browser->jsRun("Boolean", {browser->jsProp("window['blocked.js']")}) ==
                Variant(false));
    EXPECT_EQ(browser->jsProp("window['allowed.js']"), Variant(true));
}

// A one-page HTTP server on 127.0.0.1 that sets two cookies.
class CookieServer : public QTcpServer {
public:
    CookieServer() {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [socket] {
                    socket->readAll();
                    socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n"
                                  "Set-Cookie: session=abc; Path=/\r\n"
                                  "Set-Cookie: kept=42; Path=/; Max-Age=3600; HttpOnly\r\n"
                                  "Content-Length: 13\r\nConnection: close\r\n\r\n<html></html>");
                    socket->disconnectFromHost();
                });
            }
        });
        listen(QHostAddress::LocalHost);
    }
};

TEST_F(BindingEventsTest, CookiesComeBackAndAreDeleted) {
    CookieServer server;
    ASSERT_TRUE(server.isListening());
    ASSERT_TRUE(bind());
    const QString url = QStringLiteral("http://127.0.0.1:%1/").arg(server.serverPort());
    ASSERT_EQ(browser->Navigate(url, 20), Variant(std::int32_t(1)));
    std::shared_ptr<Collection> cookies;
    ASSERT_TRUE(waitFor([&] {
        cookies = Collection::from(browser->GetCookies(url, 5));
        return cookies && cookies->count() == 2;
    }));
    QStringList names;
    for (int i = 1; i <= cookies->count(); ++i) {
        const auto cookie = Collection::from(cookies->item(i));
        ASSERT_TRUE(cookie);
        names.append(cookie->item("Name").toString());
        const bool session = cookie->item("IsSession").toBool();
        EXPECT_EQ(cookie->contains("Expires"), !session);
        const QString keys = cWebView2::GetCollectionKeys(cookies->item(i));
        EXPECT_EQ(keys, session
                            ? QStringLiteral(
                                  "Name#Value#Domain#Path#IsSession#IsSecure#IsHttpOnly#SameSite")
                            : QStringLiteral("Name#Value#Domain#Path#IsSession#Expires#IsSecure#"
                                             "IsHttpOnly#SameSite"));
        if (!session) {
            EXPECT_EQ(cookie->item("Value"), Variant(QStringLiteral("42")));
            EXPECT_EQ(cookie->item("IsHttpOnly"), Variant(true));
            const double days = cookie->item("Expires").toDate().value;
            const double now = OleDate::fromDateTime(QDateTime::currentDateTimeUtc()).value;
            EXPECT_NEAR(days - now, 1.0 / 24.0, 0.01);
        }
    }
    names.sort();
    EXPECT_EQ(names, (QStringList{"kept", "session"}));

    browser->DeleteAllCookies();
    EXPECT_TRUE(waitFor([&] {
        cookies = Collection::from(browser->GetCookies(url, 5));
        return cookies && cookies->count() == 0;
    }));
}

TEST_F(BindingEventsTest, DocumentEventsArriveInLoadOrder) {
    ASSERT_TRUE(bind());
    QStringList order;
    QObject::connect(browser.get(), &cWebView2::ContentLoading,
                     [&](bool) { order.append("content"); });
    QObject::connect(browser.get(), &cWebView2::TitleChanged,
                     [&](const QString& title) { order.append("title:" + title); });
    QObject::connect(browser.get(), &cWebView2::DOMContentLoaded, [&] { order.append("dom"); });
    ASSERT_TRUE(open("t.html", "<html><head><title>Named</title></head></html>"));
    ASSERT_TRUE(waitFor([&] { return order.contains("title:Named") && order.contains("dom"); }));
    EXPECT_LT(order.indexOf("content"), order.indexOf("title:Named"));
    EXPECT_LT(order.indexOf("content"), order.indexOf("dom"));
}

} // namespace
