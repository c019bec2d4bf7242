#include "BindingFixture.h"

#include "platform/MessagePump.h"
#include "tests/common/TestApp.h"

#include <QApplication>
#include <QFile>
#include <QUrl>

void BindingTest::SetUp() {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    testing_support::app();
    cWebView2::setLibraryFolder(qEnvironmentVariable("KEST_BIN_DIR"));
    host = std::make_unique<QWidget>();
    host->resize(400, 300);
    host->show();
    browser = std::make_unique<cWebView2>();
}

void BindingTest::TearDown() {
    browser.reset();
    host.reset();
    pump::processPending();
}

bool BindingTest::bind(double seconds) {
    return browser->BindTo(host.get(), seconds, {}, dir.filePath("profile"));
}

QString BindingTest::pageUrl(const QString& name) const {
    return QUrl::fromLocalFile(dir.filePath(name)).toString();
}

bool BindingTest::open(const QString& name, const QString& html) {
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(html.toUtf8());
    file.close();
    if (browser->Navigate(pageUrl(name), 20) != Variant(std::int32_t(1)))
        return false;
    // The page's bootstrap hands over the bridge while the document is created.
    return waitFor([this] { return browser->jsBridgeAvailable(); });
}

bool BindingTest::waitFor(const std::function<bool()>& done, int milliseconds) {
    return pump::waitUntil(done, std::chrono::milliseconds(milliseconds));
}
