#include "BrowserProcess.h"

#include "BridgeSchemeHandler.h"
#include "ProfileContext.h"

#include "platform/BrowserRuntime.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>
#include <QLibraryInfo>
#include <QOpenGLContext>
#include <QStandardPaths>
#include <QtWebEngineCore/qtwebenginecoreglobal.h>

#include <cstring>

// Qt GUI's own hook, which Qt WebEngine's initialisation uses as well.
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext* context);

namespace BrowserProcess {

namespace {

// Qt WebEngine needs a global shared OpenGL context; an application that did
// not ask for one before making its QApplication (as a host that loads the
// runtime late cannot) gets one here, owned by the application.
void ensureSharedContext() {
    if (QOpenGLContext::globalShareContext())
        return;
    auto* context = new QOpenGLContext(qApp);
    context->create();
    qt_gl_set_global_share_context(context);
}

bool s_started = false;
QtMessageHandler s_previousHandler = nullptr;

// What the engine prints as it starts: its configuration (category qt.webenginecontext), the
// sandbox the caller turned off, and a headless machine's missing graphics backend. It tells a
// host's user nothing; KEST_ENGINE_LOG=1 keeps it, for a developer looking into the engine.
bool isEngineStartupReport(const QMessageLogContext& context, const QString& message) {
    if (context.category && std::strcmp(context.category, "qt.webenginecontext") == 0)
        return true;
    const QString text = message.trimmed();
    return text == QLatin1String("Sandboxing disabled by user.") ||
           text == QLatin1String("No suitable graphics backend found");
}

void withoutEngineStartupReports(QtMsgType type, const QMessageLogContext& context,
                                 const QString& message) {
    if (isEngineStartupReport(context, message) || !s_previousHandler)
        return;
    s_previousHandler(type, context, message);
}

void quietEngineStartup() {
    if (qEnvironmentVariableIntValue("KEST_ENGINE_LOG") != 0)
        return;
    s_previousHandler = qInstallMessageHandler(withoutEngineStartupReports);
}

QHash<QString, std::weak_ptr<ProfileContext>>& profiles() {
    static QHash<QString, std::weak_ptr<ProfileContext>> registry;
    return registry;
}

QString defaultUserDataFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
           QStringLiteral("/EBWebView");
}

} // namespace

HRESULT resolveRuntimeFolder(const QString& requested, QString* folder) {
    const QString candidate =
        requested.isEmpty() ? QLibraryInfo::path(QLibraryInfo::LibraryExecutablesPath) : requested;
    const QFileInfo executable(browserruntime::executableIn(candidate));
    if (!executable.isFile() || !executable.isExecutable())
        return hr::ERROR_FILE_NOT_FOUND;
    *folder = QDir(candidate).absolutePath();
    return hr::S_OK;
}

QString browserVersion() {
    return QString::fromLatin1(qWebEngineChromiumVersion());
}

void start(const QString& runtimeFolder, const QStringList& browserArguments) {
    if (s_started)
        return;
    s_started = true;
    quietEngineStartup();
    ensureSharedContext();
    qputenv("QTWEBENGINE_PROCESS_PATH",
            QFile::encodeName(browserruntime::executableIn(runtimeFolder)));
    if (const QStringList switches = ProfileContext::chromiumArguments(browserArguments);
        !switches.isEmpty()) {
        QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
        flags += ' ' + switches.join(QLatin1Char(' ')).toLocal8Bit();
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.trimmed());
    }
    BridgeSchemeHandler::registerSchemes();
}

bool darkColorScheme() {
    return QString::fromLocal8Bit(qgetenv("QTWEBENGINE_CHROMIUM_FLAGS"))
        .split(QLatin1Char(' '), Qt::SkipEmptyParts)
        .contains(QStringLiteral("--force-dark-mode"));
}

std::shared_ptr<ProfileContext> profileFor(const QString& userDataFolder,
                                           const QStringList& browserArguments,
                                           const QString& language) {
    const QString folder = QDir::cleanPath(QDir::current().absoluteFilePath(
        userDataFolder.isEmpty() ? defaultUserDataFolder() : userDataFolder));
    if (auto existing = profiles().value(folder).lock())
        return existing;
    auto created = std::make_shared<ProfileContext>(folder, browserArguments, language);
    profiles().insert(folder, created);
    return created;
}

} // namespace BrowserProcess
