#pragma once

#include "DownloadTable.h"
#include "ExtensionStore.h"
#include "HostErrors.h"
#include "PersistedProperties.h"
#include "ShieldRules.h"

#include "platform/automation/AutomationError.h"
#include "platform/automation/ControlSite.h"
#include "platform/automation/EventSource.h"

#include <QHash>
#include <QMargins>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <optional>

class cWebView2;
class FileDownload;

// An embedded browser control: one browser of the runtime in a pane with an
// even margin, started from a timer once the control is shown, with
// navigation, search, the script bridge and page messages, persisted
// properties and events. Containers call it by member name and receive its
// events through its event source.
class KestWebviewKD : public QWidget, public DispatchObject, public Control {
    Q_OBJECT

public:
    // The object a container holds; it deletes the widget unless the widget's
    // Qt parent already has.
    static std::shared_ptr<KestWebviewKD> create();
    ~KestWebviewKD() override;

    // ---- start-up
    void Init(const QString& lang);
    void InitEx(const QString& lang, bool isPrivateNavigation, const QString& browserInstallPath,
                const QString& userDataFolder, const QString& additionalArguments = {},
                bool allowSingleSignOn = false);
    void Shutdown();
    bool IsWebViewInit() const { return m_isWebViewInit; }
    QString GetMostRecentInstallPath() const;
    QString GetWebView2Version() const;
    QString GetKestWebView2DataPath() const { return m_userDataFolder; }
    std::int32_t GetLocaleID() const;
    // The error the last start-up tick raised (StartupFailed or NoRuntime), if any.
    const std::optional<AutomationError>& startupError() const { return m_startupError; }
    // What the last successful binding was created with.
    struct CreationRecord {
        QString runtimeFolder;
        QString userDataFolder;
        QString commandLine;
        bool singleSignOn = false;
    };
    const CreationRecord& creationRecord() const { return m_creation; }
    QString privateFolder() const { return m_privateFolder; }

    // ---- scripts
    Variant RunJs(const QString& functionName, const QList<Variant>& args);
    Currency RunJsAsync(const QString& functionName, const QList<Variant>& args);
    QString jsProp(const QString& propName);
    QString GetInnerText(int documentObject);
    QString GetInnerHTML(int documentObject);

    // ---- navigation
    void Navigate(QString& url);
    bool GoSearch(const QString& toSearch);
    bool GoHome();
    bool GoWallet();
    void NavigateToString(const QString& html, double secondsToWait);
    void NavigateToFile(const QString& path);
    QString lastRequestedAddress() const { return m_lastRequested; }
    QString activeSearchTemplate() const { return m_searchTemplate; }

    // ---- output
    // Saves a picture of the visible page (format 0 PNG, 1 JPEG); an empty
    // name becomes a time-stamped file of the capture folder.
    bool CapturePreview(QString& filePathAndName, int imageFormat, bool toView = false);

    // ---- cookies
    QString GetCookies();
    // An address's cookies one by one, or every cookie when the address is empty.
    void DeleteAllCookies(const QString& url);

    // ---- shield
    // Exceptions are written back: a level below 1 clears them.
    void SetShieldLevel(std::int32_t level, std::int32_t& exceptions, bool redraw);

    // ---- downloads
    void DownloadFile(const QString& uri, const QString& destination);
    // The download's key; empty when it could not start.
    QString DownloadFileEx(const QString& uri, const QString& destination, bool synchronous);
    // One read by its key, or every pending read with an empty key.
    void DownloadCancel(const QString& key);

    // ---- extensions
    QString AddBrowserExtension(QString folder, double secondsToWait);
    // The store's "Download && Install..." button, shown on store detail pages.
    QPushButton* storeButton() const { return m_storeButton; }

    // ---- properties
    const PersistedProperties& properties() const { return m_props; }
    void setProperty(PersistedProperties::Id id, const Variant& value);
    void SetZoomFactor(std::int16_t& percent);
    EventSource& events() { return m_events; }

    // Automation
    Control* control() override { return this; }
    EventSource* eventSource() override { return &m_events; }
    void setControlSite(ControlSite* site) override { m_site = site; }
    void initNew() override;
    void load(const PropertyBag& bag) override;
    void save(PropertyBag& bag) override;
    QWidget* widget() override { return this; }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    KestWebviewKD();
    // The member table, by group.
    void bindMembers();
    void bindPersisted();
    void bindStartupMembers();
    void bindScriptMembers();
    void bindNavigationMembers();
    void bindFileAndAddressMembers();
    void bindCaptureMembers();
    void bindPrintMembers();
    void bindBrowserDataMembers();
    void bindCookieMembers();
    void bindShieldMembers();
    void bindWindowMembers();
    void bindStateGetters();
    void bindGeometryMembers();
    void bindDownloadMembers();
    void bindExtensionMembers();
    Handler forwarding(std::function<void(QList<Variant>&)> action);
    void bindMethod(const char* name, Handler handler);
    void bindGet(const char* name, Handler handler);

    // start-up
    void startupTick(bool extended);
    void scheduleStartup(bool extended);
    void runStartup(bool extended);
    void restart(bool extended);
    QString commandLine(bool extended) const;
    QString fixedVersionFolder() const;
    // The version the runtime check finds: Evergreen's or a fixed folder's.
    QString runtimeVersion() const;
    bool bindBrowser(const QString& runtimeFolder, const QString& commandLine, bool tracking,
                     bool extensions);
    void raiseStartupError(const QString& detail, int number = hosterr::StartupFailed);
    void configureBrowser(bool extended);
    void applyColorScheme();
    // The browser's signals raised as the control's events.
    void connectBrowser();
    void connectPageEvents();
    void releaseBrowser();
    void deletePrivateFolder(int waitMs);
    void applyBackColor(std::int32_t colour);
    void applyBorderStyle();
    void layoutPane();
    bool runMode() const;
    // Records the margins to the parent form, when there is one, and follows
    // its resizes from then on while Anchor is True.
    void setUpAnchoring();
    void followAnchorParent();
    void onInitComplete();

    // downloads
    void connectDownloads();
    void onBrowserDownloadStarting(const QString& uri, const QString& mimeType,
                                   const QString& suggestedPath, const QString& suggestedFile,
                                   bool& cancelBrowserDialog, bool& cancelDownload,
                                   QString& newPath);
    QString startDownload(const QString& uri, const QString& destination, bool synchronous);
    void onDownloadProgress(const QString& key, std::int64_t received, std::int64_t total);
    void applyDownloadFolder();

    // extensions
    bool extensionsAvailable() const;
    QString extensionRoot() const;
    QString extensionName(const QString& id);
    void connectStoreButton();
    void updateStoreButton();
    void onStoreButton();
    bool GoExtensions();

    // shield and filters
    void applyShield();
    void onResourceRequested(const QString& uri, int context, int& permit);
    void addFilter(const shield::FilterList::Filter& filter);
    void removeAllFilters();

    // scripts
    Variant runJs(const QString& functionName, const QList<Variant>& args, bool async);
    QString documentText(int documentObject, bool html);
    QString linkTargets();

    // navigation
    bool beforeNavigate(const QString& url);
    void navigateBrowser(const QString& address);
    void autoSearch();
    void requireBrowser() const;
    bool goBuiltIn(const QString& address, const QString& title);
    // Opens an address as Navigate does; True when the browser was given it.
    bool openAddress(const QString& address);
    bool runtimeBeforeVersion122() const;
    void showOldVersionNotice();
    void showNotice(const QString& html);
    void onDocumentComplete();
    void onNavigationCompleted(bool success, int webErrorStatus);
    // The error page is up: search for the address instead, when allowed.
    void showedErrorPage();
    void onSourceChangeTick();
    void recordCurrentDocument(const QString& address);
    void onZoomChanged();

    void raise(const char* name, QList<Variant>& args);
    void raise(const char* name, std::initializer_list<Variant> args = {});
    void markChanged(const QString& name);

    EventSource m_events;
    ControlSite* m_site = nullptr;
    PersistedProperties m_props;
    QPointer<QWidget> m_pane;
    std::unique_ptr<cWebView2> m_wv;

    QTimer m_timer1;
    QTimer m_timer1Ex;
    QTimer m_timer2;
    QTimer m_timerSourceChange;

    QString m_lang;
    bool m_isWebViewInit = false;
    bool m_shown = false;
    bool m_privateNavigation = false;
    QString m_browserInstallPath;
    QString m_userDataFolder;
    QString m_additionalArguments;
    bool m_singleSignOn = false;
    QString m_privateFolder;
    QString m_defaultUserAgent;
    CreationRecord m_creation;
    std::optional<AutomationError> m_startupError;
    int m_zoomPercent = 100;

    QString m_searchTemplate;
    QString m_lastRequested;
    QString m_pendingAddress;
    QString m_currentAddress;
    QString m_documentUrl;
    QString m_documentTitle;
    QString m_collectedCookies;
    bool m_navigating = false;
    QString m_virtualHost;
    QString m_virtualFolder;

    std::int32_t m_shieldLevel = 0;
    std::int32_t m_shieldExceptions = 0;
    shield::FilterList m_filters;

    DownloadTable m_downloadTable;
    QHash<QString, QPointer<FileDownload>> m_reads;
    QString m_defaultDownloadFolder;

    extensionstore::Settings m_storeSettings =
        extensionstore::readSettings(extensionstore::settingsFile());
    QPointer<QPushButton> m_storeButton;

    QPointer<QWidget> m_anchorParent;
    QMargins m_anchorMargins;
};
