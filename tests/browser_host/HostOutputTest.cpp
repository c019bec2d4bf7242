// The browser host's shield, resource filters, cookies, captures and PDF
// output, on pages of a loopback web server that counts what is asked for.

#include "HostFixture.h"
#include "SiteServer.h"

#include "support/modShellExtended.h"
#include "tests/common/PdfTools.h"
#include "webview2_binding/Collection.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

using namespace testing_support;

QByteArray pngBytes() {
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::green);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

const QString Own = "www.kest.localhost";
const QString SameSite = "cdn.kest.localhost";
const QString Lookalike = "kest-cdn.other.localhost";
const QString Other = "ads.other.localhost";

struct Resource {
    QString host;
    QString path;
};

// What the shield page asks for, beside itself.
const QList<Resource> PageResources{
    {Own, "/own.png"},
    {SameSite, "/same-site.png"},
    {Lookalike, "/lookalike.png"},
    {Other, "/other.png"},
    {SameSite, "/same-site.js"},
    {Other, "/other.js"},
    {Other, "/other-frame.html"},
};

class HostOutput : public HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        site = std::make_unique<SiteServer>();
        ASSERT_TRUE(site->isListening());
        const QByteArray png = pngBytes();
        QByteArray page = "<html><body>";
        for (const Resource& r : PageResources) {
            const QByteArray url = site->url(r.host, r.path).toUtf8();
            if (r.path.endsWith(".png")) {
                site->serve(r.path, {"image/png", png, {}});
                page += "<img src=\"" + url + "\">";
            } else if (r.path.endsWith(".js")) {
                site->serve(r.path, {"text/javascript", "void 0;", {}});
                page += "<script src=\"" + url + "\"></script>";
            } else {
                site->serve(r.path, {"text/html", "<html>frame</html>", {}});
                page += "<iframe src=\"" + url + "\"></iframe>";
            }
        }
        site->serve("/page.html", {"text/html", page + "</body></html>", {}});
    }

    // Loads the page and waits until it and what it asks for were loaded.
    bool load(const QString& host, const QString& path) {
        return nextEvent("DocumentComplete",
                         [&] {
                             QList<Variant> args{Variant(site->url(host, path))};
                             host_call("Navigate", args);
                         })
            .has_value();
    }
    void host_call(const char* member, QList<Variant>& args) {
        host->invokeByName(QLatin1String(member), InvokeFlags::Method, args);
    }
    void setShield(int level, int exceptions) {
        QList<Variant> args{Variant(level), Variant(exceptions), Variant(false)};
        host_call("SetShieldLevel", args);
    }
    QStringList loaded() const {
        QStringList names;
        for (const Resource& r : PageResources)
            if (site->hits(r.host, r.path) > 0)
                names << r.path;
        return names;
    }

    // Made once the application exists: its sockets need the event loop.
    std::unique_ptr<SiteServer> site;
};

TEST_F(HostOutput, EachShieldLevelAndExceptionLetsThroughWhatItNames) {
    ASSERT_TRUE(start());
    struct Row {
        int level;
        int exceptions;
        QStringList loaded;
    };
    const QStringList all{"/own.png",      "/same-site.png", "/lookalike.png",   "/other.png",
                          "/same-site.js", "/other.js",      "/other-frame.html"};
    const QList<Row> rows{
        {0, 0, all},
        // Level 1: the request names the host's second-to-last label, "kest".
        {1, 0, {"/own.png", "/same-site.png", "/lookalike.png", "/same-site.js"}},
        // Level 2: its last two labels (with the port), which the look-alike lacks.
        {2, 0, {"/own.png", "/same-site.png", "/same-site.js"}},
        {3, 0, {"/own.png"}},
        {3, 2, {"/own.png", "/same-site.png", "/lookalike.png", "/other.png"}},
        {3, 16, {"/own.png", "/same-site.js", "/other.js"}},
        {3, 1, {"/own.png", "/other-frame.html"}},
    };
    for (const Row& row : rows) {
        setShield(row.level, row.exceptions);
        site->clearHits();
        ASSERT_TRUE(load(Own, "/page.html")) << row.level;
        EXPECT_EQ(site->hits(Own, "/page.html"), 1);
        EXPECT_EQ(loaded(), row.loaded)
            << "level " << row.level << ", exceptions " << row.exceptions;
    }
}

TEST_F(HostOutput, ShieldChangesAreReportedAndTheFilterListKeepsEachPairOnce) {
    ASSERT_TRUE(start());
    auto changed = nextEvent(
        "ShieldChanged", [&] { setShield(2, 0); }, 1s);
    ASSERT_TRUE(changed.has_value());
    EXPECT_EQ(*changed, (QList<Variant>{Variant(2), Variant(0), Variant(false)}));
    EXPECT_EQ(host->call("GetShieldLevel", {}), Variant(2));
    EXPECT_EQ(host->call("GetWebResourceRequestedFilter", {}), Variant(QString("*|0")));
    EXPECT_FALSE(nextEvent(
                     "ShieldChanged", [&] { setShield(2, 0); }, 300ms)
                     .has_value());

    // Below level 1 the exceptions are cleared, in the caller's variable too.
    QList<Variant> args{Variant(0), Variant(16), Variant(true)};
    changed = nextEvent(
        "ShieldChanged", [&] { host_call("SetShieldLevel", args); }, 1s);
    EXPECT_EQ(args[1], Variant(0));
    EXPECT_EQ(changed, (QList<Variant>{Variant(0), Variant(0), Variant(true)}));
    EXPECT_EQ(host->call("GetWebResourceRequestedFilter", {}), Variant(QString()));

    const auto filter = [&](const char* member, const char* text, int context) {
        QList<Variant> a{Variant(QString(text)), Variant(context)};
        host_call(member, a);
        return host->call("GetWebResourceRequestedFilter", {}).toString();
    };
    filter("Add_WebResourceRequestedFilter", "*.png", 3);
    EXPECT_EQ(filter("Add_WebResourceRequestedFilter", "*.png", 3), "*.png|3");
    EXPECT_EQ(filter("Add_WebResourceRequestedFilter", "*.js", 6), "*.png|3|*.js|6");
    EXPECT_EQ(filter("Remove_WebResourceRequestedFilter", "*.png", 3), "*.js|6");
    host->call("Remove_All_WebResourceRequestedFilter", {});
    EXPECT_EQ(host->call("GetWebResourceRequestedFilter", {}), Variant(QString()));
}

TEST_F(HostOutput, WithoutTheShieldTheContainerDecidesOnFilteredRequests) {
    ASSERT_TRUE(start());
    QList<Variant> args{Variant(QString("*/other.png")), Variant(3)};
    host_call("Add_WebResourceRequestedFilter", args);
    QStringList asked;
    bool complete = false;
    onEvent = [&](const QString& name, QList<Variant>& a) {
        if (name == "WebResourceRequested") {
            asked << a[0].toString();
            a[2] = Variant(2); // block
        }
        complete = complete || name == "DocumentComplete";
    };
    QList<Variant> page{Variant(site->url(Own, "/page.html"))};
    host_call("Navigate", page);
    const bool loadedPage = pump::waitUntil([&] { return complete; }, 10s);
    onEvent = nullptr;
    ASSERT_TRUE(loadedPage);
    EXPECT_EQ(asked, QStringList{site->url(Other, "/other.png")});
    EXPECT_EQ(site->hits(Other, "/other.png"), 0);
    EXPECT_EQ(site->hits(Own, "/own.png"), 1);
}

TEST_F(HostOutput, CookieReportColumnsAndDeletion) {
    ASSERT_TRUE(start());
    const QByteArray longName = "a_cookie_name_well_beyond_thirty_characters";
    site->serve("/cookies.html", {"text/html",
                                  "<html>cookies</html>",
                                  {longName + "=first; Max-Age=3600", "session=second",
                                   "secret=third; HttpOnly; Max-Age=3600"}});
    ASSERT_TRUE(load(Own, "/cookies.html"));
    const QString report = host->call("GetCookies", {}).toString();
    const QStringList lines = report.split("\r\n");
    const QString header = QString(" Name").leftJustified(30) + " |" +
                           QString(" Expires").leftJustified(20) + " |" +
                           QString(" Value").leftJustified(40);
    ASSERT_GE(lines.size(), 8) << report.toStdString();
    EXPECT_EQ(lines[0], "Regular cookies : ");
    EXPECT_EQ(lines[1], header);
    EXPECT_EQ(lines[2], QString(94, '-'));
    const qsizetype httpOnlyStart = lines.indexOf("HTTP-only cookies : ");
    ASSERT_GT(httpOnlyStart, 0) << report.toStdString();
    const QStringList regular = lines.mid(3, httpOnlyStart - 3 - 1);
    QStringList httpOnly = lines.mid(httpOnlyStart + 3);
    httpOnly.removeAll(QString()); // after the last line's end
    ASSERT_EQ(regular.size(), 2) << report.toStdString();
    for (const QString& line : regular + httpOnly)
        EXPECT_EQ(line.size(), 94) << line.toStdString();
    // The long name is cut to 30; a session cookie has no expiry date.
    const auto lineOf = [](const QStringList& block, const QString& start) {
        for (const QString& line : block)
            if (line.startsWith(start))
                return line;
        return QString();
    };
    const QString cut = lineOf(regular, QString::fromLatin1(longName.left(30)) + " |");
    EXPECT_FALSE(cut.isEmpty()) << report.toStdString();
    EXPECT_TRUE(cut.endsWith(QString("first").leftJustified(40)));
    EXPECT_EQ(lineOf(regular, "session"), QString("session").leftJustified(30) + " |" +
                                              QString("Session").leftJustified(20) + " |" +
                                              QString("second").leftJustified(40));
    EXPECT_FALSE(lineOf(httpOnly, "secret").isEmpty()) << report.toStdString();
    EXPECT_FALSE(report.contains("third") && !lineOf(httpOnly, "secret").contains("third"));

    const QString url = site->url(Own, "/cookies.html");
    const auto names = [&] {
        QStringList found;
        const auto list = Collection::from(host->call("GetCookiesCollection", {Variant(url)}));
        for (int i = 1; list && i <= list->count(); ++i)
            found << Collection::from(list->item(i))->item(QString("Name")).toString();
        found.sort();
        return found;
    };
    EXPECT_EQ(names(), (QStringList{QString::fromLatin1(longName), "secret", "session"}));
    host->call("DeleteCookies", {Variant(QString("session")), Variant(QString())});
    EXPECT_TRUE(pump::waitUntil([&] { return !names().contains("session"); }, 5s));
    host->call("DeleteAllCookies", {Variant(url)});
    EXPECT_TRUE(pump::waitUntil([&] { return names().isEmpty(); }, 5s));

    // Clearing the cookies kind of browsing data empties the list too.
    ASSERT_TRUE(load(Own, "/cookies.html"));
    ASSERT_EQ(names().size(), 3);
    EXPECT_EQ(host->call("ClearBrowsingData", {Variant(64), Variant(8.0)}), Variant(true));
    EXPECT_TRUE(names().isEmpty());
}

TEST_F(HostOutput, TwoCapturesInOneMinuteKeepTwoFiles) {
    // The pictures folder of a home of the test's own.
    env.setFolder("HOME", "home");
    env.setFolder("XDG_CONFIG_HOME", "config");
    QList<QUrl> shown;
    shellopen::setDesktopHandler([&](const QUrl& url) {
        shown << url;
        return true;
    });
    ASSERT_TRUE(start());
    host->call("NavigateToString",
               {Variant(QString("<html><body>capture</body></html>")), Variant(5.0)});
    QStringList files;
    for (int i = 0; i < 2; ++i) {
        QList<Variant> args{Variant(QString()), Variant(0), Variant(false)};
        host_call("CapturePreview", args);
        files << args[0].toString();
    }
    const QString folder = QDir(qEnvironmentVariable("HOME")).filePath("Pictures/KestWebView2/");
    const QRegularExpression name("^WebPicture_\\d{14}(_\\d+)?\\.png$");
    ASSERT_EQ(files.size(), 2);
    EXPECT_NE(files[0], files[1]);
    for (const QString& file : files) {
        EXPECT_TRUE(file.startsWith(folder)) << file.toStdString();
        EXPECT_TRUE(name.match(QFileInfo(file).fileName()).hasMatch()) << file.toStdString();
        EXPECT_FALSE(QImage(file).isNull()) << file.toStdString();
    }
    EXPECT_TRUE(shown.isEmpty());

    // Toview hands the picture to the desktop; the folder opens the same way.
    QList<Variant> args{Variant(QString()), Variant(1), Variant(true)};
    host_call("CapturePreview", args);
    EXPECT_TRUE(args[0].toString().endsWith(".jpg"));
    host->call("OpenKestWebView2CaptureDirectory", {});
    shellopen::setDesktopHandler({});
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[0].toLocalFile(), args[0].toString());
    EXPECT_EQ(QDir(shown[1].toLocalFile()), QDir(folder));
}

TEST_F(HostOutput, PrintToPdfLandscapeWithBackgroundsAndRefusals) {
    ASSERT_TRUE(start());
    host->call("NavigateToString",
               {Variant(QString("<html><body style='background:#0000ff'>PDF page</body></html>")),
                Variant(5.0)});
    const auto print = [&](const QString& path, bool backgrounds) {
        QList<Variant> args{Variant(path), Variant(30.0), Variant(true),        Variant(1.0),
                            Variant(8.5),  Variant(11.0), Variant(0.4),         Variant(0.4),
                            Variant(0.4),  Variant(0.4),  Variant(backgrounds), Variant(false),
                            Variant(false)};
        return host->call("PrintToPdf", args);
    };
    // Without backgrounds first: the engine's own default prints them.
    const QString without = env.root() + "/without.pdf";
    EXPECT_EQ(print(without, false), Variant(true));
    const QImage plain = pdfPageImage(without);
    ASSERT_FALSE(plain.isNull());
    EXPECT_EQ(QColor(plain.pixel(plain.width() / 2, plain.height() / 2)), QColor(Qt::white));

    const QString with = env.root() + "/with.pdf";
    EXPECT_EQ(print(with, true), Variant(true));
    EXPECT_EQ(pdfPageSize(with), QSizeF(792, 612)); // Letter, landscape
    EXPECT_TRUE(pdfText(with).contains("PDF page"));
    const QImage page = pdfPageImage(with);
    EXPECT_EQ(QColor(page.pixel(page.width() / 2, page.height() / 2)), QColor(0, 0, 255));

    const Variant stream = host->call("PrintToPdfStream", {Variant(30.0), Variant(true)});
    EXPECT_TRUE(stream.toBytes().startsWith("%PDF"));

    // What the browser cannot print is refused, not ignored.
    const auto refusal = [&](int index, const Variant& value) {
        QList<Variant> args{Variant(env.root() + "/refused.pdf")};
        while (args.size() <= index)
            args << Variant::missing();
        args[index] = value;
        try {
            host->call("PrintToPdf", args);
        } catch (const AutomationError& error) {
            return error.description();
        }
        return QString();
    };
    EXPECT_EQ(refusal(3, Variant(1.5)),
              "The browser cannot print to PDF with a scale factor other than 1");
    EXPECT_EQ(refusal(11, Variant(true)),
              "The browser cannot print to PDF with the selection only");
    EXPECT_EQ(refusal(12, Variant(true)),
              "The browser cannot print to PDF with a header and footer");
    EXPECT_FALSE(QFileInfo::exists(env.root() + "/refused.pdf"));
}

TEST_F(HostOutput, UserAgentIsSetAndRestored) {
    EXPECT_EQ(errorNumber([&] { host->call("GetUserAgent", {}); }), hosterr::BrowserNotStarted);
    ASSERT_TRUE(start());
    const QString original = host->call("GetUserAgent", {}).toString();
    ASSERT_FALSE(original.isEmpty());
    site->serve("/agent.html", {"text/html", "<html>agent</html>", {}});
    host->call("SetUserAgent", {Variant(QString("KestTest/1.0"))});
    EXPECT_EQ(host->call("GetUserAgent", {}), Variant(QString("KestTest/1.0")));
    ASSERT_TRUE(load(Own, "/agent.html?set"));
    EXPECT_EQ(site->userAgent("/agent.html?set"), "KestTest/1.0");
    host->call("RestoreUserAgent", {});
    EXPECT_EQ(host->call("GetUserAgent", {}), Variant(original));
    ASSERT_TRUE(load(Own, "/agent.html?restored"));
    EXPECT_EQ(site->userAgent("/agent.html?restored"), original);
}

} // namespace
