// The viewer's browsers run with the same-origin policy on: a local page of
// their profile reads local files but no remote answer, and a page of one
// origin reads another origin's answer only with its consent (CORS), while the
// viewer goes on showing files.

#include "ViewerFixture.h"

#include "platform/MessagePump.h"
#include "tests/common/DicomFiles.h"
#include "tests/common/LoopbackHttpServer.h"

#include <QDir>
#include <QFile>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineProfile>

#include <memory>

namespace {

// A synchronous read from the page: the text answered, or "refused" when the
// engine withheld the answer.
QString readScript(const QString& url) {
    return QStringLiteral("(function () { var r = new XMLHttpRequest();"
                          " try { r.open('GET', '%1', false); r.send(); return r.responseText; }"
                          " catch (e) { return 'refused'; } })()")
        .arg(url);
}

class WebSecurity : public ViewerFixture {
protected:
    void SetUp() override {
        ViewerFixture::SetUp();
        site.serve("/page.html", "<!DOCTYPE html><html><body>site</body></html>", "text/html");
        other.serve("/private", "other origin's answer", "text/plain");
        other.serve("/shared", "shared answer", "text/plain", {"Access-Control-Allow-Origin: *"});
    }

    // A page of the profile of the viewer's image browser, showing url.
    std::unique_ptr<QWebEnginePage> pageAt(const QUrl& url) {
        QWebEnginePage* image = browserPage("KestWebViewKD1");
        if (!image)
            return nullptr;
        auto page = std::make_unique<QWebEnginePage>(image->profile());
        bool finished = false;
        QObject::connect(page.get(), &QWebEnginePage::loadFinished, page.get(),
                         [&finished](bool) { finished = true; });
        page->load(url);
        if (!pump::waitUntil([&] { return finished; }, std::chrono::seconds(20)))
            return nullptr;
        return page;
    }

    // A local page with no policy of its own, beside a local text file.
    std::unique_ptr<QWebEnginePage> localPage() {
        const QString folder = environment.root() + "/probe";
        QDir().mkpath(folder);
        writeText(folder + "/local.txt", "local file's text");
        writeText(folder + "/probe.html", "<!DOCTYPE html><html><body>probe</body></html>");
        return pageAt(QUrl::fromLocalFile(folder + "/probe.html"));
    }

    static void writeText(const QString& path, const QByteArray& text) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    LoopbackHttpServer site;
    LoopbackHttpServer other;
};

TEST_F(WebSecurity, PagesReadNoOtherOriginWithoutItsConsentWhileFilesShow) {
    ASSERT_TRUE(loadDemo());
    EXPECT_EQ(viewer->get("dcmModality").toString(), "CT");

    // Local pages read local files, and nothing remote.
    const std::unique_ptr<QWebEnginePage> local = localPage();
    ASSERT_NE(local, nullptr);
    const QString folder = QUrl::fromLocalFile(environment.root() + "/probe/").toString();
    EXPECT_EQ(evaluate(local.get(), readScript(folder + "local.txt")).toString(),
              "local file's text");
    EXPECT_EQ(evaluate(local.get(), readScript(other.url("/private"))).toString(), "refused");

    // A page of one origin: the other origin answers both requests, and the engine hands
    // over only the answer its origin shared.
    const std::unique_ptr<QWebEnginePage> remote = pageAt(QUrl(site.url("/page.html")));
    ASSERT_NE(remote, nullptr);
    EXPECT_EQ(evaluate(remote.get(), readScript(other.url("/shared"))).toString(), "shared answer");
    EXPECT_EQ(evaluate(remote.get(), readScript(other.url("/private"))).toString(), "refused");
    EXPECT_EQ(other.hits("/private"), 1);

    // The viewer still shows files.
    ASSERT_TRUE(loadFile(testing_support::pydicomFile("MR_small.dcm")));
    EXPECT_EQ(viewer->get("dcmModality").toString(), "MR");
}

} // namespace
