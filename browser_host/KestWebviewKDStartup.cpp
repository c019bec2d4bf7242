#include "KestWebviewKD.h"

#include "HostErrors.h"
#include "HostValues.h"
#include "RuntimeDiscovery.h"
#include "modKWVLanguage.h"

#include "platform/UiServices.h"
#include "platform/automation/ControlSite.h"
#include "support/modOperationFichierSimple.h"
#include "support/modSHFileOperation.h"
#include "support/modWait.h"
#include "webview2_binding/cWebView2.h"

using namespace hostvalues;
using P = PersistedProperties;

namespace {

constexpr std::int32_t PrivateBrowsingColour = 0x8080FF;
constexpr std::int32_t DarkColorScheme = 2;
const char* const ForceDarkMode = "--force-dark-mode";

} // namespace

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
    scheduleStartup(false);
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
    scheduleStartup(true);
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
    scheduleStartup(extended);
}

// The first tick runs as soon as the event loop turns; the timer repeats the
// attempt while the control is not shown yet.
void KestWebviewKD::scheduleStartup(bool extended) {
    (extended ? m_timer1Ex : m_timer1).start();
    QTimer::singleShot(0, this, [this, extended] { startupTick(extended); });
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
                          hosterr::StartupSource);
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
                              hosterr::StartupSource);
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
    // Recorded before IsWebViewInit turns True: an agent a container sets from
    // then on, even before InitComplete arrives, is never taken for the default.
    m_defaultUserAgent = m_wv->UserAgent();
    for (const P::Id id : {P::AreDefaultContextMenusEnabled, P::AreBrowserAcceleratorKeysEnabled,
                           P::AreDevToolsEnabled, P::IsStatusBarEnabled})
        m_wv->setSetting(QLatin1String(P::definitions()[id].key), m_props.flag(id));
    m_wv->setZoomFactor(m_zoomPercent / 100.0);
    applyShield();
    const QString linkScript =
        QStringLiteral("function getLinkValue(qsExpr) {return document.links[qsExpr].href}");
    if (!extended)
        m_wv->AddScriptToExecuteOnDocumentCreated(linkScript);
    m_wv->setIsMuted(m_props.flag(P::IsMuted));
    applyColorScheme();
    if (!m_defaultDownloadFolder.isEmpty())
        applyDownloadFolder();
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
