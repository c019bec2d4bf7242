#include "KestWebviewKD.h"

#include "HostErrors.h"
#include "KestWebviewKDTypeInfo.h"
#include "RuntimeDiscovery.h"
#include "modKWVJson.h"
#include "modKWVLanguage.h"
#include "modKWVUrl.h"

#include "dialogs/modCmnDialogEx.h"
#include "platform/MessagePump.h"
#include "platform/NativeWindow.h"
#include "platform/UiServices.h"
#include "support/modCompatFunctions.h"
#include "support/modOperationFichierSimple.h"
#include "support/modSHFileOperation.h"
#include "support/modWait.h"
#include "webview2_binding/cWebView2.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QScreen>
#include <QUrl>

#include <cmath>

namespace {

using P = PersistedProperties;

constexpr int StartupIntervalMs = 100;
constexpr int AutoSearchIntervalMs = 1000;
constexpr int SourceChangeIntervalMs = 1500;
constexpr int PaneMarginTwips = 30;
constexpr int AnchoredMinimumTwips = 512;
constexpr int MaxScriptArguments = 15;
constexpr double NavigationWaitSeconds = 8;
constexpr std::int32_t PrivateBrowsingColour = 0x8080FF;
const QString ErrorPageAddress = QStringLiteral("chrome-error://chromewebdata/");
using hosterr::ControlSource;
using hosterr::StartupSource;
const QString Crlf = QStringLiteral("\r\n");

double twipsPerPixel() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInch() : 96.0;
    return 1440.0 / (dpi > 0 ? dpi : 96.0);
}

int toPixels(double twips) {
    return static_cast<int>(std::lround(twips / twipsPerPixel()));
}

// Automation colours: system colours have the high bit set, others are 0x00BBGGRR.
QColor toQColor(std::int32_t colour) {
    if (colour < 0)
        return QApplication::palette().color(QPalette::Button);
    return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

// The browser takes only encoded addresses: blanks and accents in a file name
// are escaped.
QString fileAddress(const QString& path) {
    return QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded);
}

Variant text(const QString& value) {
    return Variant(value);
}

Variant longValue(std::int32_t value) {
    return Variant(value);
}

// The runtime serves no history, downloads, flags or address-list page, so
// those members are absent; its report of the system, graphics and versions
// stands for the system page.
const QString SystemPageAddress = QStringLiteral("chrome://gpu");
const QString SystemPageTitle = QStringLiteral("System Version");

// The page GoWallet shows in place of the wallet, in English and French.
QString walletNotice(const char* english, const char* french) {
    const QString line = QStringLiteral("<div>WEBVIEW2</div><div>%1</div><div> </div>");
    return QStringLiteral("<!DOCTYPE html><html><head><title>Microsoft Regression !</title></head>"
                          "<body><font color=\"#FF0000\">") +
           line.arg(QString::fromUtf8(english)) + QStringLiteral("<div>") +
           QString(85, QLatin1Char('-')) + QStringLiteral("</div>") +
           line.arg(QString::fromUtf8(french)) + QStringLiteral("</font></body></html>");
}
constexpr int LastVersionWithoutWallet = 121;

// The document properties GetInnerText and GetInnerHTML read, by Documentobject.
struct DocumentExpression {
    const char* text;
    const char* html;
    bool breakLines;
};
constexpr DocumentExpression documentExpressions[] = {
    {"document.documentElement.innerText", "document.documentElement.innerHTML", true},
    {"document.body.innerText", "document.body.innerHTML", true},
    {"document.cookie", "document.cookie", false},
    {"document.domain", "document.domain", false},
    {"document.title", "document.title", false},
    {"document.URL", "document.URL", false},
    {"document.inputEncoding", "document.inputEncoding", false},
    {"document.head.innerText", "document.head.innerHTML", true},
};
constexpr int LinkTargets = 8;

constexpr std::int32_t DarkColorScheme = 2;
constexpr int NavigationCancelled = 14;
const char* const ForceDarkMode = "--force-dark-mode";

} // namespace

std::shared_ptr<KestWebviewKD> KestWebviewKD::create() {
    auto* control = new KestWebviewKD;
    QPointer<QWidget> guard(control);
    return std::shared_ptr<KestWebviewKD>(control, [guard](KestWebviewKD* object) {
        if (guard)
            delete object;
    });
}

KestWebviewKD::KestWebviewKD()
    : DispatchObject(kestWebviewKDTypeInfo())
    , m_events(kestWebviewKDTypeInfo()) {
    m_pane = new QWidget(this);
    m_pane->setObjectName(QStringLiteral("picWV"));
    m_pane->move(toPixels(PaneMarginTwips), toPixels(PaneMarginTwips));
    m_pane->show();
    setFocusPolicy(Qt::StrongFocus);
    applyBorderStyle();
    applyBackColor(P::ButtonFaceColour);
    m_searchTemplate = kwvurl::searchTemplate(kwvurl::DefaultEngine, {});
    for (QTimer* timer : {&m_timer1, &m_timer1Ex})
        timer->setInterval(StartupIntervalMs);
    m_timer2.setInterval(AutoSearchIntervalMs);
    m_timerSourceChange.setInterval(SourceChangeIntervalMs);
    connect(&m_timer1, &QTimer::timeout, this, [this] { startupTick(false); });
    connect(&m_timer1Ex, &QTimer::timeout, this, [this] { startupTick(true); });
    connect(&m_timer2, &QTimer::timeout, this, [this] { autoSearch(); });
    connect(&m_timerSourceChange, &QTimer::timeout, this, [this] { onSourceChangeTick(); });
    bindMembers();
}

KestWebviewKD::~KestWebviewKD() {
    // The pumps below run events: no timer may start work on a dying control.
    for (QTimer* timer : {&m_timer1, &m_timer1Ex, &m_timer2, &m_timerSourceChange})
        timer->stop();
    releaseBrowser();
    waits::pump(100);
    if (m_privateNavigation)
        deletePrivateFolder(1000);
}

// ---------------------------------------------------------------- start-up

void KestWebviewKD::Init(const QString& lang) {
    m_startupError.reset();
    m_lang = lang;
    m_privateNavigation = false;
    m_browserInstallPath.clear();
    m_userDataFolder.clear();
    m_additionalArguments.clear();
    m_singleSignOn = false;
    if (m_isWebViewInit) {
        deletePrivateFolder(0);
        restart(false);
    }
    m_timer1.start();
    m_privateFolder.clear();
}

void KestWebviewKD::InitEx(const QString& lang, bool isPrivateNavigation,
                           const QString& browserInstallPath, const QString& userDataFolder,
                           const QString& additionalArguments, bool allowSingleSignOn) {
    m_startupError.reset();
    m_lang = lang;
    m_privateNavigation = isPrivateNavigation;
    m_browserInstallPath = browserInstallPath;
    if (!browserInstallPath.isEmpty()) {
        setProperty(P::UseEdgeFixedVersion, Variant(true));
        setProperty(P::EdgeFixedPath, text(browserInstallPath));
    }
    m_userDataFolder = userDataFolder;
    m_additionalArguments = additionalArguments;
    m_singleSignOn = allowSingleSignOn;
    if (m_isWebViewInit)
        restart(true);
    m_timer1Ex.start();
    // The folder of a previous private run was deleted by the restart.
    m_privateFolder.clear();
}

void KestWebviewKD::restart(bool extended) {
    m_isWebViewInit = false;
    releaseBrowser();
    applyBorderStyle();
    applyBackColor(m_props.value(P::BackColor).toLong());
    layoutPane();
    waits::pump(100);
    deletePrivateFolder(1000);
    (extended ? m_timer1Ex : m_timer1).start();
}

void KestWebviewKD::Shutdown() {
    releaseBrowser();
    waits::pump(100);
    if (m_privateNavigation)
        deletePrivateFolder(500);
}

void KestWebviewKD::releaseBrowser() {
    if (!m_wv)
        return;
    m_wv->disconnect(this);
    m_wv->Shutdown();
    m_wv.reset();
}

void KestWebviewKD::deletePrivateFolder(int waitMs) {
    if (m_privateFolder.isEmpty())
        return;
    if (waitMs > 0)
        waits::waitSeconds(waitMs / 1000.0, true);
    shellfiles::deletePath(m_privateFolder);
    m_privateFolder.clear();
}

void KestWebviewKD::startupTick(bool extended) {
    if (!extended)
        m_privateNavigation = false;
    m_privateFolder.clear();
    if (!m_shown || m_wv)
        return;
    (extended ? m_timer1Ex : m_timer1).stop();
    m_startupError.reset();
    // An error here has no caller: the container learns it from the message and startupError().
    try {
        runStartup(extended);
    } catch (const AutomationError& error) {
        m_startupError = error;
        ui::messageBox(error.description(), ui::MsgBox::Critical, error.source());
    }
}

QString KestWebviewKD::commandLine(bool extended) const {
    QString line = m_lang.isEmpty() ? QString() : QStringLiteral("--lang=") + m_lang;
    if (extended && !m_additionalArguments.isEmpty())
        line = line.isEmpty() ? m_additionalArguments
                              : line + QLatin1Char(' ') + m_additionalArguments;
    if (m_props.flag(P::AllowInteractiveContentLocally)) {
        for (const char* flag : {"--allow-file-access-from-files", "--disable-web-security"}) {
            if (!extended || !line.contains(QLatin1String(flag)))
                line += QLatin1Char(' ') + QLatin1String(flag);
        }
    }
    // Chromium takes a dark scheme only when its processes start.
    if (m_props.value(P::PreferredColorScheme).toLong() == DarkColorScheme &&
        !line.contains(QLatin1String(ForceDarkMode)))
        line += QLatin1Char(' ') + QLatin1String(ForceDarkMode);
    return line.trimmed();
}

bool KestWebviewKD::bindBrowser(const QString& runtimeFolder, const QString& commandLine,
                                bool tracking, bool extensions) {
    const bool bound = m_wv->BindTo(m_pane, m_props.value(P::InitTimeOut).toDouble(), runtimeFolder,
                                    m_userDataFolder, commandLine, m_singleSignOn, false, true,
                                    tracking, extensions);
    if (bound)
        m_creation = {runtimeFolder, m_userDataFolder, commandLine, m_singleSignOn};
    return bound;
}

void KestWebviewKD::raiseStartupError(const QString& detail, int number) {
    throw AutomationError(number, kwvlanguage::texts().failedStartup + Crlf + Crlf + detail,
                          StartupSource);
}

void KestWebviewKD::runStartup(bool extended) {
    QString folder = extended && !m_userDataFolder.isEmpty()
                         ? m_userDataFolder
                         : runtimediscovery::defaultUserDataFolder();
    if (extended && m_privateNavigation) {
        folder = runtimediscovery::newPrivateFolder();
        m_privateFolder = folder;
        applyBackColor(PrivateBrowsingColour);
    } else if (extended) {
        applyBackColor(m_props.value(P::BackColor).toLong());
    }
    m_userDataFolder = folder;
    files::createFolderTree(files::withTrailingSeparator(folder));
    const QString line = commandLine(extended);
    m_wv = std::make_unique<cWebView2>();
    connectBrowser();

    // Which runtime: a fixed one beside the product, or the system's.
    QString evergreenVersion;
    cWebView2().GetMostRecentInstallPath(QStringLiteral("EdgeWebView"), evergreenVersion);
    const bool useFixed = m_props.flag(P::UseEdgeFixedVersion);
    const QString edgeFixedPath = m_props.text(P::EdgeFixedPath);
    const auto choice = runtimediscovery::choose(
        evergreenVersion, useFixed, runtimediscovery::fixedVersion(fixedVersionFolder()));
    if (choice == runtimediscovery::Choice::NoRuntime)
        throw AutomationError(hosterr::NoRuntime,
                              QStringLiteral("The Evergreen version of the Microsoft WebView2 "
                                             "component does not appear to be present on your "
                                             "system."),
                              StartupSource);
    if (choice == runtimediscovery::Choice::EvergreenAfterNotice)
        ui::messageBox(
            (edgeFixedPath.isEmpty() ? runtimediscovery::fixedRuntimeRoot() : edgeFixedPath) +
            Crlf + Crlf +
            QStringLiteral("This directory does not appear to contain a WebView2 "
                           "component.") +
            Crlf + Crlf +
            QStringLiteral("Check the installation of the KestWebView2 component and "
                           "that the directory above is accessible in read-write mode") +
            Crlf + Crlf +
            QStringLiteral("The Evergreen version of the WebView component will be "
                           "used"));
    const bool tracking = m_props.flag(P::EnableTrackingPrevention);
    const bool extensions = m_props.flag(P::AreBrowserExtensionsEnabled);
    const QString evergreenMissing = QStringLiteral(
        "Verify that the Evergreen version of the WebView2 component is installed on this "
        "computer");
    const bool evergreen = choice != runtimediscovery::Choice::Fixed || !useFixed;
    if (evergreen) {
        if (!bindBrowser({}, line, tracking, extensions) &&
            !bindBrowser({}, {}, extended ? tracking : true, extended && extensions))
            raiseStartupError(evergreenMissing);
        setProperty(P::UseEdgeFixedVersion, Variant(false));
    } else {
        QString fixedFolder = m_props.flag(P::UseTarnwellWebView2)
                                  ? runtimediscovery::productFixedFolder()
                              : !edgeFixedPath.isEmpty() ? edgeFixedPath
                                                         : runtimediscovery::defaultFixedFolder();
        if (extended && !m_browserInstallPath.isEmpty())
            fixedFolder = m_browserInstallPath;
        if (extended)
            setProperty(P::EdgeFixedPath, text(fixedFolder));
        const QString missing =
            QStringLiteral("Check for the presence of the Webview2 component in the path:") + Crlf +
            fixedFolder;
        if (!runtimediscovery::holdsRuntime(fixedFolder))
            raiseStartupError(missing);
        if (!bindBrowser(fixedFolder, line, tracking, extensions)) {
            const bool fallback = extended ? bindBrowser(fixedFolder, {}, tracking, extensions)
                                           : bindBrowser({}, {}, true, false);
            if (!fallback)
                raiseStartupError(extended ? missing : evergreenMissing);
            if (!extended)
                setProperty(P::UseEdgeFixedVersion, Variant(false));
        }
    }
    configureBrowser(extended);
}

void KestWebviewKD::configureBrowser(bool extended) {
    for (const P::Id id : {P::AreDefaultContextMenusEnabled, P::AreBrowserAcceleratorKeysEnabled,
                           P::AreDevToolsEnabled, P::IsStatusBarEnabled})
        m_wv->setSetting(QLatin1String(P::definitions()[id].key), m_props.flag(id));
    m_wv->setZoomFactor(m_zoomPercent / 100.0);
    const QString linkScript =
        QStringLiteral("function getLinkValue(qsExpr) {return document.links[qsExpr].href}");
    if (!extended)
        m_wv->AddScriptToExecuteOnDocumentCreated(linkScript);
    m_wv->setIsMuted(m_props.flag(P::IsMuted));
    applyColorScheme();
    if (extended)
        m_wv->AddScriptToExecuteOnDocumentCreated(linkScript);
    else
        applyBackColor(m_props.value(P::BackColor).toLong());
    if (!m_props.text(P::HomeURL).isEmpty()) {
        QString home = m_props.text(P::HomeURL);
        // A home address the browser refuses leaves the browser started: the
        // bound browser would otherwise stay unusable, as no restart runs while it exists.
        try {
            Navigate(home);
        } catch (const AutomationError&) {
        }
    }
    m_isWebViewInit = true;
}

void KestWebviewKD::applyColorScheme() {
    // The browser refuses a scheme other than the one it started with; the
    // stored value then waits for the next start of the browser processes.
    try {
        m_wv->setPreferredColorScheme(m_props.value(P::PreferredColorScheme).toLong());
    } catch (const AutomationError&) {
    }
}

void KestWebviewKD::onInitComplete() {
    raise("InitComplete");
    if (m_wv)
        m_defaultUserAgent = m_wv->UserAgent();
}

QString KestWebviewKD::fixedVersionFolder() const {
    const QString edgeFixedPath = m_props.text(P::EdgeFixedPath);
    if (!edgeFixedPath.isEmpty())
        return edgeFixedPath;
    return m_props.flag(P::UseTarnwellWebView2) ? runtimediscovery::productFixedFolder()
                                                : runtimediscovery::defaultFixedFolder();
}

QString KestWebviewKD::runtimeVersion() const {
    QString evergreenVersion;
    const QString evergreenPath =
        cWebView2().GetMostRecentInstallPath(QStringLiteral("EdgeWebView"), evergreenVersion);
    if (!evergreenPath.isEmpty() && !m_props.flag(P::UseEdgeFixedVersion))
        return evergreenVersion;
    return runtimediscovery::fixedVersion(fixedVersionFolder());
}

QString KestWebviewKD::GetMostRecentInstallPath() const {
    QString version;
    return cWebView2().GetMostRecentInstallPath(QStringLiteral("EdgeWebView"), version);
}

QString KestWebviewKD::GetWebView2Version() const {
    return m_wv && m_isWebViewInit ? m_wv->BrowserVersion() : QString();
}

std::int32_t KestWebviewKD::GetLocaleID() const {
    return m_site ? static_cast<std::int32_t>(m_site->ambientProperties().localeId) : 0;
}

// ---------------------------------------------------------------- browser events

void KestWebviewKD::connectBrowser() {
    cWebView2* wv = m_wv.get();
    connect(wv, &cWebView2::InitComplete, this, &KestWebviewKD::onInitComplete);
    connect(wv, &cWebView2::NavigationStarting, this,
            [this](bool user, bool redirected, const QString& uri, bool& cancel) {
                m_navigating = true;
                QList<Variant> a{Variant(user), Variant(redirected), text(uri), Variant(cancel)};
                raise("NavigationStarting", a);
                cancel = a[3].toBool();
                m_pendingAddress = cancel ? QString() : uri;
            });
    connect(wv, &cWebView2::AcceleratorKeyPressed, this,
            [this](int state, bool extended, bool wasDown, bool released, bool menu, int repeat,
                   int scan, bool& handled) {
                QList<Variant> a{longValue(state),
                                 longValue(extended ? -1 : 0),
                                 longValue(wasDown ? -1 : 0),
                                 longValue(released ? -1 : 0),
                                 longValue(menu ? -1 : 0),
                                 longValue(repeat),
                                 longValue(scan),
                                 longValue(handled ? -1 : 0)};
                raise("AcceleratorKeyPressed", a);
                handled = a[7].toLong() != 0;
            });
    connect(wv, &cWebView2::DocumentComplete, this, &KestWebviewKD::onDocumentComplete);
    connect(wv, &cWebView2::GotFocus, this,
            [this](int reason) { raise("BrowserGotFocus", {longValue(reason)}); });
    connect(wv, &cWebView2::LostFocus, this,
            [this](int reason) { raise("BrowserLostFocus", {longValue(reason)}); });
    connect(wv, &cWebView2::JSAsyncResult, this,
            [this](Variant& result, Currency token, const QString& error) {
                QList<Variant> a{result, Variant(token), text(error)};
                raise("JSAsyncResult", a);
                result = a[0];
            });
    connect(wv, &cWebView2::JSMessage, this,
            [this](const QString& msg, const QString& content, QString& json) {
                QList<Variant> a{text(msg), text(content), text(json)};
                raise("JSMessage", a);
                json = a[2].toString();
            });
    connect(wv, &cWebView2::NavigationCompleted, this, &KestWebviewKD::onNavigationCompleted);
    connect(wv, &cWebView2::NewWindowRequested, this,
            [this](bool user, bool& handled, const QString& uri, Variant& features) {
                QList<Variant> a{longValue(user ? -1 : 0), longValue(handled ? -1 : 0), text(uri),
                                 text(cWebView2::JsonEncode(features))};
                raise("NewWindowRequested", a);
                handled = a[1].toLong() != 0;
                m_pendingAddress = handled ? uri : QString();
            });
    connect(wv, &cWebView2::ProcessFailed, this, [this] { raise("ProcessFailed"); });
    connect(wv, &cWebView2::SourceChanged, this, [this] {
        if (!m_navigating)
            m_timerSourceChange.start();
        raise("SourceChanged");
    });
    connect(wv, &cWebView2::UserContextMenu, this, [this](int x, int y) {
        raise("UserContextMenu", {longValue(x), longValue(y)});
    });
    connect(wv, &cWebView2::FrameCreated, this, [this](const QString& name) {
        QList<Variant> a{text(name)};
        raise("FrameCreated", a);
    });
    connect(wv, &cWebView2::ZoomFactorChanged, this, &KestWebviewKD::onZoomChanged);
    connect(wv, &cWebView2::WebResourceRequested, this,
            [this](const QString& uri, int filterType, int& permit) {
                QList<Variant> a{text(uri), longValue(filterType), longValue(permit)};
                raise("WebResourceRequested", a);
                permit = a[2].toLong();
            });
    connect(wv, &cWebView2::PermissionRequested, this,
            [this](bool user, int& state, const QString& uri, int kind) {
                QList<Variant> a{Variant(user), longValue(kind), text(uri), longValue(state)};
                raise("PermissionRequested", a);
                state = a[3].toLong();
            });
    connect(wv, &cWebView2::StatusBarTextChanged, this,
            [this](const QString& value) { raise("StatusBarTextChanged", {text(value)}); });
    connect(wv, &cWebView2::DOMContentLoaded, this, [this] { raise("DOMContentLoaded"); });
    connect(wv, &cWebView2::HistoryChanged, this, [this] { raise("HistoryChanged"); });
    connect(wv, &cWebView2::ContentLoading, this,
            [this](bool errorPage) { raise("ContentLoading", {Variant(errorPage)}); });
}

void KestWebviewKD::raise(const char* name, QList<Variant>& args) {
    m_events.raise(QLatin1String(name), args);
}

void KestWebviewKD::raise(const char* name, std::initializer_list<Variant> args) {
    QList<Variant> list(args);
    raise(name, list);
}

// ---------------------------------------------------------------- scripts

Variant KestWebviewKD::runJs(const QString& functionName, const QList<Variant>& args, bool async) {
    // Every failure, the argument limit included, leaves the caller with an empty result.
    try {
        if (args.size() > MaxScriptArguments)
            throw AutomationError(hosterr::TooManyScriptArguments,
                                  QStringLiteral("Too many parameters (Max : 15)"), ControlSource);
        if (!m_wv)
            return {};
        if (async)
            return Variant(m_wv->jsRunAsync(functionName, args));
        return m_wv->jsRun(functionName, args);
    } catch (...) {
        return async ? Variant(Currency{}) : Variant();
    }
}

Variant KestWebviewKD::RunJs(const QString& functionName, const QList<Variant>& args) {
    return runJs(functionName, args, false);
}

Currency KestWebviewKD::RunJsAsync(const QString& functionName, const QList<Variant>& args) {
    return runJs(functionName, args, true).toCurrency();
}

QString KestWebviewKD::jsProp(const QString& propName) {
    try {
        if (!m_wv)
            return {};
        const Variant value = m_wv->jsProp(propName);
        return value.isNull() || value.isEmpty() ? QString() : value.toString();
    } catch (...) {
        return {};
    }
}

QString KestWebviewKD::linkTargets() {
    const int count = jsProp(QStringLiteral("document.links.length")).toInt();
    QString result;
    for (int i = 0; i < count; ++i) {
        try {
            result +=
                m_wv->jsRun(QStringLiteral("getLinkValue"), {text(QString::number(i))}).toString() +
                Crlf;
        } catch (...) {
            return result;
        }
    }
    return result;
}

QString KestWebviewKD::documentText(int documentObject, bool html) {
    if (documentObject == LinkTargets)
        return m_wv ? linkTargets() : QString();
    if (documentObject < 0 || documentObject >= LinkTargets)
        return {};
    const DocumentExpression& expression = documentExpressions[documentObject];
    QString value = jsProp(QLatin1String(html ? expression.html : expression.text));
    if (!expression.breakLines)
        return value;
    return html ? value.replace(QLatin1String(">"), QStringLiteral(">\r\n"))
                : value.replace(QLatin1String("\n"), Crlf);
}

QString KestWebviewKD::GetInnerText(int documentObject) {
    return documentText(documentObject, false);
}

QString KestWebviewKD::GetInnerHTML(int documentObject) {
    return documentText(documentObject, true);
}

// ---------------------------------------------------------------- navigation

void KestWebviewKD::requireBrowser() const {
    if (!m_wv)
        throw AutomationError(hosterr::BrowserNotStarted, kwvlanguage::texts().notInitialised,
                              ControlSource);
}

bool KestWebviewKD::beforeNavigate(const QString& url) {
    QList<Variant> a{text(url), Variant(false)};
    raise("BeforeNavigate", a);
    return !a[1].toBool();
}

void KestWebviewKD::navigateBrowser(const QString& address) {
    m_wv->Navigate(address, NavigationWaitSeconds);
}

void KestWebviewKD::Navigate(QString& url) {
    requireBrowser();
    if (!beforeNavigate(url))
        return;
    if (url.isEmpty())
        return;
    try {
        m_collectedCookies.clear();
        m_lastRequested = url;
        url = kwvurl::urlEncodeUtf8(url);
        navigateBrowser(
            kwvurl::completeAddress(url, m_searchTemplate, m_virtualHost, m_virtualFolder));
    } catch (const std::exception&) {
        if (!m_props.flag(P::SearchAuto))
            throw AutomationError(hosterr::InvalidAddress, kwvlanguage::texts().invalidUrl,
                                  hosterr::NavigationSource);
        m_timer2.start();
    }
}

bool KestWebviewKD::GoHome() {
    requireBrowser();
    QString home = m_props.text(P::HomeURL);
    if (home.isEmpty())
        return false;
    try {
        if (!beforeNavigate(home))
            return false;
        m_collectedCookies.clear();
        m_lastRequested = home;
        navigateBrowser(kwvurl::completeAddress(kwvurl::urlEncodeUtf8(home), m_searchTemplate,
                                                m_virtualHost, m_virtualFolder));
        return true;
    } catch (...) {
        return false;
    }
}

bool KestWebviewKD::GoSearch(const QString& toSearch) {
    requireBrowser();
    const QString address = QString(m_searchTemplate).replace(QLatin1String("%1"), toSearch);
    try {
        if (!beforeNavigate(address) || address.isEmpty())
            return false;
        m_collectedCookies.clear();
        navigateBrowser(kwvurl::completeAddress(kwvurl::urlEncodeUtf8(address), m_searchTemplate,
                                                m_virtualHost, m_virtualFolder));
        return true;
    } catch (...) {
        return false;
    }
}

void KestWebviewKD::autoSearch() {
    m_timer2.stop();
    if (!m_wv)
        return; // no caller to raise BrowserNotStarted to from a timer
    try {
        navigateBrowser(kwvurl::autoSearchAddress(m_lastRequested, m_searchTemplate));
    } catch (const AutomationError&) {
        // A search address the browser refuses leaves the page as it is.
    }
}

bool KestWebviewKD::goBuiltIn(const QString& address, const QString& title) {
    requireBrowser();
    try {
        if (!beforeNavigate(address))
            return false;
        m_collectedCookies.clear();
        m_lastRequested = address;
        navigateBrowser(address);
        m_currentAddress = address;
        m_documentUrl = address;
        m_documentTitle = title;
        raise("DocumentComplete");
        return true;
    } catch (...) {
        return false;
    }
}

bool KestWebviewKD::GoWallet() {
    const int major = runtimeVersion().section(QLatin1Char('.'), 0, 0).toInt();
    if (major > LastVersionWithoutWallet) {
        // The runtime has no wallet page at any version.
        requireBrowser();
        showNotice(walletNotice("For some obscure reason, that even Microsoft probably doesn't "
                                "understand, this function is no longer accessible !!!!",
                                "Pour une obscure raison, que même Microsoft ne doit pas "
                                "comprendre, cette fonction n'est plus accessible !!!!! "));
    } else if (m_wv) {
        showNotice(walletNotice(
            "This function is not available in old versions (<122) of the WebView2 component !",
            "Cette fonction n'est pas disponible dans les anciennes versions (<122) du composant "
            "WebView2 !"));
    }
    return false;
}

void KestWebviewKD::showNotice(const QString& html) {
    try {
        m_wv->NavigateToString(html, NavigationWaitSeconds);
    } catch (...) {
        // The notice is best effort: the member answers False either way.
    }
}

void KestWebviewKD::NavigateToString(const QString& html, double secondsToWait) {
    requireBrowser();
    if (!beforeNavigate(QStringLiteral("NavigateToSting:") + html))
        return;
    m_collectedCookies.clear();
    m_lastRequested.clear();
    try {
        m_wv->NavigateToString(html, secondsToWait);
    } catch (...) {
        // Loading text is best effort: the caller goes on with whatever is shown.
    }
}

void KestWebviewKD::NavigateToFile(const QString& path) {
    if (!QFileInfo(path).isFile() || !m_isWebViewInit || !m_wv)
        return;
    m_wv->Navigate(path.contains(QLatin1String("://")) ? path : fileAddress(path),
                   NavigationWaitSeconds);
}

void KestWebviewKD::onDocumentComplete() {
    m_currentAddress = m_wv ? m_wv->DocumentURL() : QString();
    m_navigating = false;
    if (m_currentAddress == ErrorPageAddress)
        showedErrorPage();
    else
        recordCurrentDocument(m_currentAddress);
    raise("DocumentComplete");
}

void KestWebviewKD::onNavigationCompleted(bool success, int webErrorStatus) {
    // A cancelled or failed navigation ends the navigation as a document does.
    m_navigating = false;
    // The browser completes a failed navigation on its error page, with no
    // document completion.
    if (!success && webErrorStatus != NavigationCancelled)
        showedErrorPage();
    raise("NavigationCompleted", {longValue(success ? -1 : 0), longValue(webErrorStatus)});
}

void KestWebviewKD::showedErrorPage() {
    // A failed automatic search is not searched for again.
    if (m_props.flag(P::SearchAuto) &&
        !m_pendingAddress.contains(m_searchTemplate.section(QLatin1String("%1"), 0, 0)))
        m_timer2.start();
    m_documentTitle = kwvlanguage::texts().invalidUrl;
}

void KestWebviewKD::recordCurrentDocument(const QString& address) {
    if (!address.isEmpty()) {
        m_documentUrl = kwvurl::decodeUri(address);
        m_documentTitle = m_wv ? m_wv->DocumentTitle() : QString();
        return;
    }
    m_documentUrl = m_lastRequested;
    m_documentTitle = m_lastRequested;
    m_currentAddress = kwvurl::decodeUri(m_lastRequested);
}

void KestWebviewKD::onSourceChangeTick() {
    m_timerSourceChange.stop();
    m_currentAddress = kwvurl::decodeUri(jsProp(QStringLiteral("document.URL")));
    recordCurrentDocument(m_currentAddress);
    raise("DocumentComplete");
}

void KestWebviewKD::onZoomChanged() {
    if (!m_wv)
        return;
    QList<Variant> a{Variant(static_cast<std::int16_t>(std::lround(m_wv->ZoomFactor() * 100)))};
    m_zoomPercent = a[0].toInteger();
    raise("ZoomChanged", a);
}

void KestWebviewKD::SetZoomFactor(std::int16_t& percent) {
    percent = std::clamp<std::int16_t>(percent, 10, 1000);
    m_zoomPercent = percent;
    if (m_wv)
        m_wv->setZoomFactor(percent / 100.0);
    onZoomChanged();
}

// ---------------------------------------------------------------- properties and window

void KestWebviewKD::markChanged(const QString& name) {
    if (m_site)
        m_site->propertyChanged(name);
}

void KestWebviewKD::setProperty(P::Id id, const Variant& value) {
    m_props.set(id, value);
    markChanged(QLatin1String(P::definitions()[id].key));
    switch (id) {
    case P::Search_URL:
    case P::SearchEngine:
        m_searchTemplate = kwvurl::searchTemplate(m_props.value(P::SearchEngine).toLong(),
                                                  m_props.text(P::Search_URL));
        break;
    case P::BackColor:
        applyBackColor(m_props.value(P::BackColor).toLong());
        break;
    case P::BorderStyle:
        applyBorderStyle();
        break;
    case P::Anchor:
        // Anchoring needs a parent form; without one it reads False.
        if (!parentWidget())
            m_props.set(P::Anchor, Variant(false));
        else if (!m_anchorParent && runMode())
            setUpAnchoring();
        break;
    case P::AreDefaultContextMenusEnabled:
    case P::AreDefaultScriptDialogsEnabled:
    case P::AreHostObjectsAllowed:
    case P::IsScriptEnabled:
    case P::AreBrowserAcceleratorKeysEnabled:
    case P::AreDevToolsEnabled:
        if (m_wv)
            m_wv->setSetting(QLatin1String(P::definitions()[id].key), m_props.flag(id));
        break;
    case P::IsMuted:
        if (m_wv && m_isWebViewInit)
            m_wv->setIsMuted(m_props.flag(id));
        break;
    case P::PreferredColorScheme:
        if (m_wv && m_isWebViewInit)
            applyColorScheme();
        break;
    default:
        break;
    }
}

void KestWebviewKD::initNew() {
    kwvlanguage::setLanguage(static_cast<std::uint32_t>(GetLocaleID()));
    m_props.initNew();
    m_searchTemplate = kwvurl::searchTemplate(kwvurl::DefaultEngine, {});
}

void KestWebviewKD::load(const PropertyBag& bag) {
    kwvlanguage::setLanguage(static_cast<std::uint32_t>(GetLocaleID()));
    // The stored Anchor is kept in design mode too; the control follows its
    // parent only in run mode.
    m_props.load(bag, parentWidget() != nullptr);
    if (runMode())
        setUpAnchoring();
    const int engine = m_props.value(P::SearchEngine).toLong();
    m_searchTemplate = kwvurl::searchTemplate(engine >= 0 && engine <= 5 ? engine : 1,
                                              m_props.text(P::Search_URL));
    applyBorderStyle();
    applyBackColor(m_props.value(P::BackColor).toLong());
}

void KestWebviewKD::save(PropertyBag& bag) {
    kwvlanguage::setLanguage(static_cast<std::uint32_t>(GetLocaleID()));
    m_props.save(bag);
}

void KestWebviewKD::applyBackColor(std::int32_t colour) {
    for (QWidget* widget : {static_cast<QWidget*>(this), m_pane.data()}) {
        if (!widget)
            continue;
        QPalette palette = widget->palette();
        palette.setColor(QPalette::Window, toQColor(colour));
        widget->setPalette(palette);
        widget->setAutoFillBackground(true);
    }
}

void KestWebviewKD::applyBorderStyle() {
    if (m_pane)
        m_pane->setStyleSheet(m_props.value(P::BorderStyle).toInteger() == 0
                                  ? QString()
                                  : QStringLiteral("QWidget#picWV { border: 1px solid black; }"));
}

void KestWebviewKD::layoutPane() {
    if (!m_pane)
        return;
    const int margin = toPixels(PaneMarginTwips);
    m_pane->setGeometry(margin, margin, std::max(0, width() - 2 * margin),
                        std::max(0, height() - 2 * margin));
    if (m_wv)
        m_wv->SyncSizeToHostWindow();
}

bool KestWebviewKD::runMode() const {
    return !m_site || m_site->ambientProperties().userMode;
}

void KestWebviewKD::setUpAnchoring() {
    if (m_anchorParent)
        m_anchorParent->removeEventFilter(this);
    m_anchorParent = parentWidget();
    if (!m_anchorParent)
        return;
    const QRect own = geometry();
    const QSize outer = m_anchorParent->size();
    m_anchorMargins = QMargins(own.left(), own.top(), outer.width() - own.width() - own.left(),
                               outer.height() - own.height() - own.top());
    m_anchorParent->installEventFilter(this);
}

void KestWebviewKD::followAnchorParent() {
    const int minimum = toPixels(AnchoredMinimumTwips);
    const QSize outer = m_anchorParent->size();
    setGeometry(
        m_anchorMargins.left(), m_anchorMargins.top(),
        std::max(minimum, outer.width() - m_anchorMargins.left() - m_anchorMargins.right()),
        std::max(minimum, outer.height() - m_anchorMargins.top() - m_anchorMargins.bottom()));
}

bool KestWebviewKD::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_anchorParent && event->type() == QEvent::Resize && m_props.flag(P::Anchor))
        followAnchorParent();
    return QWidget::eventFilter(watched, event);
}

void KestWebviewKD::showEvent(QShowEvent* event) {
    m_shown = true;
    QWidget::showEvent(event);
}

void KestWebviewKD::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutPane();
}

void KestWebviewKD::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    if (m_wv)
        m_wv->SetFocus(0);
}

// ---------------------------------------------------------------- member table

void KestWebviewKD::bindMethod(const char* name, Handler handler) {
    bind(QLatin1String(name), InvokeFlags::Method, std::move(handler));
}

void KestWebviewKD::bindGet(const char* name, Handler handler) {
    bind(QLatin1String(name), InvokeFlags::PropertyGet, std::move(handler));
}

void KestWebviewKD::bindPersisted() {
    for (const auto& definition : P::definitions()) {
        const P::Id id = definition.id;
        // Kept in the property bag, but the runtime has neither autofill nor a
        // password store: the members are absent.
        if (id == P::IsGeneralAutofillEnabled || id == P::IsPasswordAutosaveEnabled)
            continue;
        bindGet(definition.key, [this, id](QList<Variant>&) { return m_props.value(id); });
        bind(QLatin1String(definition.key), InvokeFlags::PropertyPut,
             [this, id](QList<Variant>& a) {
                 setProperty(id, a.last());
                 return Variant();
             });
    }
}

void KestWebviewKD::bindMembers() {
    bindPersisted();
    const auto none = [](auto&& action) {
        return [action](QList<Variant>& a) {
            action(a);
            return Variant();
        };
    };
    // Arguments after the function name, up to the last one given.
    const auto scriptArguments = [](const QList<Variant>& a) {
        qsizetype last = a.size() - 1;
        while (last > 0 && a[last].isMissing())
            --last;
        return a.mid(1, last);
    };
    bindMethod("Init", none([this](QList<Variant>& a) { Init(a[0].toString()); }));
    bindMethod("InitEx", none([this](QList<Variant>& a) {
                   InitEx(a[0].toString(), a[1].toBool(), a[2].toString(), a[3].toString(),
                          a[4].toString(), a[5].toBool());
               }));
    bindMethod("Shutdown", none([this](QList<Variant>&) { Shutdown(); }));
    bindMethod("GetMostRecentInstallPath",
               [this](QList<Variant>&) { return text(GetMostRecentInstallPath()); });
    bindMethod("GetWebView2Version",
               [this](QList<Variant>&) { return text(GetWebView2Version()); });
    bindMethod("GetKestWebView2DataPath",
               [this](QList<Variant>&) { return text(m_userDataFolder); });
    bindMethod("GetLocaleID", [this](QList<Variant>&) { return longValue(GetLocaleID()); });
    bindMethod("RunJs", [this, scriptArguments](QList<Variant>& a) {
        return RunJs(a[0].toString(), scriptArguments(a));
    });
    bindMethod("RunJsAsync", [this, scriptArguments](QList<Variant>& a) {
        return Variant(RunJsAsync(a[0].toString(), scriptArguments(a)));
    });
    const auto forward = [this](auto&& action) {
        return [this, action](QList<Variant>& a) {
            // Forwarding members ignore the binding's errors and a missing browser.
            try {
                if (m_wv)
                    action(a);
            } catch (...) {
            }
            return Variant();
        };
    };
    bindMethod("ExecuteScript",
               forward([this](QList<Variant>& a) { m_wv->ExecuteScript(a[0].toString()); }));
    bindMethod("AddScriptToExecuteOnDocumentCreated", none([this](QList<Variant>& a) {
                   if (!m_wv)
                       throw AutomationError(
                           vberr::ObjectNotSet,
                           AutomationError::standardDescription(vberr::ObjectNotSet));
                   m_wv->AddScriptToExecuteOnDocumentCreated(a[0].toString());
               }));
    bindMethod("AddObject",
               forward([this](QList<Variant>& a) { m_wv->AddObject(a[0].toString(), a[1]); }));
    bindMethod("RemoveObject",
               forward([this](QList<Variant>& a) { m_wv->RemoveObject(a[0].toString()); }));
    bindMethod("OpenDevToolsWindow",
               forward([this](QList<Variant>&) { m_wv->OpenDevToolsWindow(); }));
    bindMethod("GetInnerText",
               [this](QList<Variant>& a) { return text(GetInnerText(a[0].toInteger())); });
    bindMethod("GetInnerHTML",
               [this](QList<Variant>& a) { return text(GetInnerHTML(a[0].toInteger())); });
    bindMethod("GetDocumentBodyText", [this](QList<Variant>&) {
        return text(jsProp(QStringLiteral("document.body.innerText")));
    });
    bindMethod("ExtractJsonValue", [](QList<Variant>& a) {
        return kwvjson::extractJsonValue(a[0].toString(), a[1].toString());
    });
    bindMethod("Base64Encode",
               [](QList<Variant>& a) { return text(encoding::base64Encode(a[0].toString())); });
    bindMethod("Base64Decode",
               [](QList<Variant>& a) { return text(encoding::base64Decode(a[0].toString())); });
    bindMethod("UTF8ToVBString",
               [](QList<Variant>& a) { return text(encoding::fromUtf8(a[0].toBytes())); });
    bindMethod("VBStringToUTF8", [](QList<Variant>& a) {
        return Variant::fromBytes(encoding::toUtf8(a[0].toString()));
    });
    bindMethod("SetSecurityProperties", [this](QList<Variant>& a) {
        if (!m_wv)
            return Variant(false);
        try {
            int i = 0;
            for (const char* name : {"IsScriptEnabled", "AreDefaultScriptDialogsEnabled",
                                     "IsWebMessageEnabled", "AreHostObjectsAllowed"})
                m_wv->setSetting(QLatin1String(name), a[i++].toBool());
            return Variant(true);
        } catch (...) {
            return Variant(false);
        }
    });
    bindMethod("SetZoomFactor", none([this](QList<Variant>& a) {
                   std::int16_t percent = a[0].toInteger();
                   SetZoomFactor(percent);
                   a[0] = Variant(percent);
               }));
    bindMethod("WebViewSetFocus", forward([this](QList<Variant>&) {
                   m_wv->SetFocus(0);
                   pump::processPending();
               }));
    bindMethod("Navigate", none([this](QList<Variant>& a) {
                   QString url = a[0].toString();
                   Navigate(url);
                   a[0] = text(url);
               }));
    bindMethod("GoHome", [this](QList<Variant>&) { return Variant(GoHome()); });
    bindMethod("GoSearch",
               [this](QList<Variant>& a) { return Variant(GoSearch(a[0].toString())); });
    bindMethod("GoViewSystemVersion", [this](QList<Variant>&) {
        return Variant(goBuiltIn(SystemPageAddress, SystemPageTitle));
    });
    bindMethod("GoWallet", [this](QList<Variant>&) { return Variant(GoWallet()); });
    bindMethod("GoBack", forward([this](QList<Variant>&) { m_wv->GoBack(); }));
    bindMethod("GoForward", forward([this](QList<Variant>&) { m_wv->GoForward(); }));
    bindMethod("Reload", forward([this](QList<Variant>&) { m_wv->Reload(); }));
    bindMethod("NavigateToString", none([this](QList<Variant>& a) {
                   NavigateToString(a[0].toString(), a[1].toDouble());
               }));
    bindMethod("NavigateToFile",
               none([this](QList<Variant>& a) { NavigateToFile(a[0].toString()); }));
    bindMethod("NavigateWithWebResourceRequest", [this](QList<Variant>& a) {
        // Only GET and POST exist; the caller sees the method that was used.
        const QString method = a[1].toString().toUpper();
        a[1] = text(method == QLatin1String("GET") ? method : QStringLiteral("POST"));
        if (!m_wv)
            return Variant();
        // The system code page is UTF-8 here, so both body encodings are UTF-8.
        try {
            m_wv->NavigateWithWebResourceRequest(a[0].toString(), a[1].toString(), a[3].toString(),
                                                 a[2].toString().toUtf8(), a[5].toDouble());
        } catch (const AutomationError&) {
            // A request the browser refuses is dropped, as the member's errors are.
        }
        return Variant();
    });
    bindMethod("FileExist",
               [](QList<Variant>& a) { return Variant(QFileInfo(a[0].toString()).isFile()); });
    bindMethod("FileSelect", [this](QList<Variant>& a) {
        if (!m_isWebViewInit)
            return text({});
        const bool useDefault = a[1].toBool();
        const QString title = useDefault ? kwvlanguage::texts().fileSelectTitle : a[2].toString();
        const QString filter = useDefault ? kwvlanguage::texts().fileSelectFilter : a[3].toString();
        constexpr std::int32_t mustExistExplorer = 0x1000 | 0x80000;
        const QString path =
            cmndialog::ShowOpenDialog(mustExistExplorer, a[4].toString(), title, a[5].toString(),
                                      filter, a[6].toString(), m_pane);
        if (!path.isEmpty() && a[0].toBool() && m_wv)
            m_wv->Navigate(fileAddress(path), NavigationWaitSeconds);
        return text(path);
    });
    bindMethod("GetURLString",
               [this](QList<Variant>&) { return text(kwvurl::displayAddress(m_currentAddress)); });
    bindMethod("URLEncode", [](QList<Variant>& a) {
        return text(kwvurl::urlEncode(a[0].toString(), a[1].toBool()));
    });
    bindMethod("URLEncode_UTF8",
               [](QList<Variant>& a) { return text(kwvurl::urlEncodeUtf8(a[0].toString())); });
    bindMethod("DecodeURI",
               [](QList<Variant>& a) { return text(kwvurl::decodeUri(a[0].toString())); });
    bindMethod("CapturePreview", [this](QList<Variant>& a) {
        try {
            if (!m_wv)
                return Variant(false);
            const QByteArray bytes = m_wv->CapturePreview(a[1].toLong());
            QFile file(a[0].toString());
            return Variant(!bytes.isEmpty() && file.open(QIODevice::WriteOnly) &&
                           file.write(bytes) == bytes.size());
        } catch (...) {
            return Variant(false);
        }
    });
    bindMethod("CapturePreviewToClipBoard", forward([this](QList<Variant>&) {
                   QImage image = QImage::fromData(m_wv->CapturePreview(1), "JPG");
                   if (!image.isNull())
                       QApplication::clipboard()->setImage(image);
               }));
    bindMethod("ZOrder", none([this](QList<Variant>& a) {
                   if (a[0].toInteger() == 0)
                       QWidget::raise();
                   else
                       lower();
               }));
    bindMethod("SetFocus", none([this](QList<Variant>&) { setFocus(); }));

    bindGet("IsWebViewInit", [this](QList<Variant>&) { return Variant(m_isWebViewInit); });
    bindGet("ZoomFactor", [this](QList<Variant>&) {
        return Variant(static_cast<std::int16_t>(m_wv ? std::lround(m_wv->ZoomFactor()) : 0));
    });
    bindGet("CanGoBack", [this](QList<Variant>&) { return Variant(m_wv && m_wv->CanGoBack()); });
    bindGet("CanGoForward",
            [this](QList<Variant>&) { return Variant(m_wv && m_wv->CanGoForward()); });
    bindGet("DocumentTitle", [this](QList<Variant>&) { return text(m_documentTitle); });
    bindGet("DocumentURL", [this](QList<Variant>&) { return text(m_documentUrl); });
    // The native window the pane draws in, read without making the pane native.
    bindGet("HosthWnd", [this](QList<Variant>&) {
        return longValue(m_wv && m_pane ? nativewindow::handleOf(m_pane) : 0);
    });
    bindGet("BrowserProcessId",
            [this](QList<Variant>&) { return longValue(m_wv ? m_wv->BrowserProcessId() : 0); });
    bindGet("IsDocumentPlayingAudio", [this](QList<Variant>&) {
        return Variant(m_wv && m_isWebViewInit && m_wv->IsDocumentPlayingAudio());
    });
    bindGet("jsProp", [this](QList<Variant>& a) { return text(jsProp(a[0].toString())); });
    bindGet("jsLastError",
            [this](QList<Variant>&) { return text(m_wv ? m_wv->jsLastError() : QString()); });
    const auto geometryMember = [this](const char* name, auto get, auto set) {
        bindGet(name, [this, get](QList<Variant>&) {
            return Variant(static_cast<float>(get(geometry()) * twipsPerPixel()));
        });
        bind(QLatin1String(name), InvokeFlags::PropertyPut, [this, set](QList<Variant>& a) {
            QRect rect = geometry();
            set(rect, toPixels(a[0].toDouble()));
            setGeometry(rect);
            return Variant();
        });
    };
    geometryMember(
        "Left", [](const QRect& r) { return r.x(); }, [](QRect& r, int v) { r.moveLeft(v); });
    geometryMember(
        "Top", [](const QRect& r) { return r.y(); }, [](QRect& r, int v) { r.moveTop(v); });
    geometryMember(
        "Width", [](const QRect& r) { return r.width(); }, [](QRect& r, int v) { r.setWidth(v); });
    geometryMember(
        "Height", [](const QRect& r) { return r.height(); },
        [](QRect& r, int v) { r.setHeight(v); });
}
