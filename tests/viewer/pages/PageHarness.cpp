#include "PageHarness.h"

#include "tests/common/TestApp.h"
#include "viewer/PageAssets.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QUuid>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace testing_support {

namespace {

// The host double: records RaiseMessageEvent calls for the test to collect,
// then the runtime's own bootstrap line that defines vbH().
const char kHostDouble[] = R"JS(
(function () {
  var queue = [];
  window.__kestHost = { take: function () { var q = queue; queue = []; return JSON.stringify(q); } };
  window.chrome = window.chrome || {};
  window.chrome.webview = { hostObjects: { sync: { vbHost: {
    RaiseMessageEvent: function (name, content) { queue.push([String(name), String(content)]); },
    RaiseContextMenuEvent: function () {}, RaiseResultEvent: function () {}, SetFuncObj: function () {}
  } } } };
})();
var vbH_; function vbH() { return vbH_ || (vbH_ = chrome.webview.hostObjects.sync.vbHost); }
)JS";

class ConsolePage : public QWebEnginePage {
public:
    ConsolePage(QWebEngineProfile* profile, std::shared_ptr<QStringList> console, QObject* parent)
        : QWebEnginePage(profile, parent)
        , m_console(std::move(console)) {}

protected:
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                  int line, const QString& source) override {
        if (level == ErrorMessageLevel)
            m_console->append(QStringLiteral("%1:%2: %3").arg(source).arg(line).arg(message));
    }

private:
    std::shared_ptr<QStringList> m_console;
};

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

} // namespace

QString assetFolder() {
    return QString::fromLocal8Bit(qgetenv("KEST_BIN_DIR")) + QStringLiteral("/KestDicomAx");
}

QString readText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

InstanceFolder::InstanceFolder(const QString& parentName) {
    const QString parent = parentName.isEmpty() ? m_dir.path() : m_dir.path() + '/' + parentName;
    const QString base = parent + QStringLiteral("/Tarnwell/KestDicomAx/");
    QDir().mkpath(base + QStringLiteral("Bin"));
    m_instance =
        base + QStringLiteral("Temp/") + QUuid::createUuid().toString(QUuid::WithBraces).toUpper();
    QDir().mkpath(m_instance);
    for (const QString& library : pageassets::libraryNames() + pageassets::pageScriptNames())
        QFile::copy(assetFolder() + '/' + library, base + QStringLiteral("Bin/") + library);
}

QString InstanceFolder::root() const {
    return m_instance;
}

QString InstanceFolder::path(const QString& fileName) const {
    return m_instance + '/' + fileName;
}

// The page is filled by the viewer's own code, as a load fills it.
QString InstanceFolder::fillPage(const QString& templateName, const QString& pageName,
                                 const QString& captionKey, const QString& language) {
    QFile::remove(path(pageName));
    pageassets::writePageFile(assetFolder() + '/' + templateName, path(pageName), root(),
                              captionKey, language, assetFolder() + QStringLiteral("/Locale.ini"));
    return path(pageName);
}

QString InstanceFolder::fillDicomdirPage(const QString& templateName,
                                         const QString& dicomdirFolder) {
    // The page is filled by the viewer's own code, as a DICOMDIR load fills it.
    const QString page = path(QStringLiteral("KDVAX_DICOMDIR.html"));
    QFile::remove(page);
    writeFile(page, pageassets::dicomdirPage(readText(assetFolder() + '/' + templateName),
                                             dicomdirFolder, root())
                        .toUtf8());
    return page;
}

void InstanceFolder::setWorkingCopy(const QString& sourcePath, const QString& name) {
    const QString target = name.isEmpty() ? QFileInfo(sourcePath).fileName() : name;
    QFile::remove(path(target));
    QFile::copy(sourcePath, path(target));
    writeList(target);
}

void InstanceFolder::writeList(const QString& name) {
    writeFile(path(QStringLiteral("liste.js")), pageassets::fileListScript(name).toUtf8());
}

void initWebEngine() {
    static bool done = false;
    if (done)
        return;
    done = true;
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    testing_support::app();
}

PageView::PageView()
    : m_profile(std::make_unique<QWebEngineProfile>())
    , m_view(std::make_unique<QWebEngineView>())
    , m_console(std::make_shared<QStringList>()) {
    auto* page = new ConsolePage(m_profile.get(), m_console, m_view.get());
    QWebEngineScript host;
    host.setName(QStringLiteral("vbHost double"));
    host.setSourceCode(QString::fromLatin1(kHostDouble));
    host.setInjectionPoint(QWebEngineScript::DocumentCreation);
    host.setWorldId(QWebEngineScript::MainWorld);
    host.setRunsOnSubFrames(false);
    page->scripts().insert(host);
    // As in the viewer's browsers: local pages read local files, and web security stays on.
    QWebEngineSettings* settings = page->settings();
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    m_view->setPage(page);
    m_view->resize(800, 600);
    m_view->show();
}

PageView::~PageView() {
    // The page goes before its profile.
    m_view.reset();
}

void PageView::pump(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool PageView::load(const QString& filePath) {
    bool finished = false;
    bool ok = false;
    QObject::connect(
        m_view->page(), &QWebEnginePage::loadFinished, m_view.get(),
        [&](bool result) {
            finished = true;
            ok = result;
        },
        Qt::SingleShotConnection);
    m_messages.clear();
    m_view->load(QUrl::fromLocalFile(filePath));
    const QDeadlineTimer deadline(20000);
    while (!finished && !deadline.hasExpired())
        pump(10);
    return ok;
}

QVariant PageView::run(const QString& script) {
    QVariant result;
    bool done = false;
    m_view->page()->runJavaScript(script, [&](const QVariant& value) {
        result = value;
        done = true;
    });
    const QDeadlineTimer deadline(10000);
    while (!done && !deadline.hasExpired())
        pump(5);
    return result;
}

void PageView::collectMessages() {
    const QString json =
        run(QStringLiteral("window.__kestHost ? window.__kestHost.take() : '[]'")).toString();
    for (const QJsonValue& entry : QJsonDocument::fromJson(json.toUtf8()).array()) {
        const QJsonArray pair = entry.toArray();
        m_messages.append({pair.at(0).toString(), pair.at(1).toString()});
    }
}

bool PageView::waitForAnyMessage(const QStringList& names, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    do {
        collectMessages();
        for (const PageMessage& message : std::as_const(m_messages))
            if (names.contains(message.name))
                return true;
        pump(20);
    } while (!deadline.hasExpired());
    return false;
}

bool PageView::waitForMessage(const QString& name, int timeoutMs) {
    return waitForAnyMessage({name}, timeoutMs);
}

QList<PageMessage> PageView::messages() const {
    return m_messages;
}

QList<PageMessage> PageView::messages(const QString& name) const {
    QList<PageMessage> named;
    for (const PageMessage& message : m_messages)
        if (message.name == name)
            named.append(message);
    return named;
}

QString PageView::lastContent(const QString& name) const {
    const QList<PageMessage> named = messages(name);
    return named.isEmpty() ? QString() : named.last().content;
}

void PageView::clearMessages() {
    collectMessages();
    m_messages.clear();
}

QString PageView::bodyText() {
    return run(QStringLiteral("document.body.innerText")).toString();
}

void PageView::pressKey(Qt::Key key) {
    QWidget* target = m_view->focusProxy() ? m_view->focusProxy() : m_view.get();
    target->setFocus();
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &press);
    QCoreApplication::sendEvent(target, &release);
    pump(30);
}

void PageView::click(const QPoint& point) {
    QWidget* target = m_view->focusProxy() ? m_view->focusProxy() : m_view.get();
    const QPointF local(point);
    const QPointF global(target->mapToGlobal(point));
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(target, &press);
    QCoreApplication::sendEvent(target, &release);
    pump(30);
}

QStringList PageView::consoleErrors() const {
    return *m_console;
}

QString jsonField(const QString& content, const QString& key) {
    return QJsonDocument::fromJson(content.toUtf8()).object().value(key).toString();
}

} // namespace testing_support
