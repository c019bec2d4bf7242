#pragma once

#include "EventHandlers.h"
#include "StringDocuments.h"
#include "WebView2.h"

#include <QList>
#include <QPageLayout>
#include <QPointer>
#include <QRegularExpression>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "WebPage.h"

#include <memory>

class ProfileContext;
class QPrinter;
class QWebEngineDownloadRequest;
class QWebEngineUrlRequestInfo;
class ScriptBridge;
class Settings;
class WebPage;

// The browser of one controller: a QWebEngineView child of the host window
// with its page, settings and script bridge.
class CoreWebView2 : public ComObject<ICoreWebView2_16> {
public:
    CoreWebView2(ComPtr<ICoreWebView2Environment> environment,
                 std::shared_ptr<ProfileContext> profile, QWidget* parent);
    ~CoreWebView2() override;

    QWebEngineView* view() const { return m_view; }
    // Destroys the view and its page; completions still on their way are dropped.
    void close();
    bool isClosed() const { return m_closed; }

    // Called by the page.
    bool navigationRequested(const QUrl& url, QWebEnginePage::NavigationType type);
    bool defaultScriptDialogs() const;
    bool scriptDialog(COREWEBVIEW2_SCRIPT_DIALOG_KIND kind, const QUrl& origin,
                      const QString& message, const QString& defaultText, QString* result);
    void downloadRequested(QWebEngineDownloadRequest* download);

    HRESULT get_Settings(ICoreWebView2Settings** settings) override;
    HRESULT get_Source(QString* uri) override;
    HRESULT Navigate(const QString& uri) override;
    HRESULT NavigateWithWebResourceRequest(const QString& uri, const QString& method,
                                           const QString& headers,
                                           const QByteArray& content) override;
    HRESULT NavigateToString(const QString& htmlContent) override;
    HRESULT add_NavigationStarting(ICoreWebView2NavigationStartingEventHandler* handler,
                                   EventRegistrationToken* token) override;
    HRESULT remove_NavigationStarting(EventRegistrationToken token) override;
    HRESULT add_ContentLoading(ICoreWebView2ContentLoadingEventHandler* handler,
                               EventRegistrationToken* token) override;
    HRESULT remove_ContentLoading(EventRegistrationToken token) override;
    HRESULT add_SourceChanged(ICoreWebView2SourceChangedEventHandler* handler,
                              EventRegistrationToken* token) override;
    HRESULT remove_SourceChanged(EventRegistrationToken token) override;
    HRESULT add_HistoryChanged(ICoreWebView2HistoryChangedEventHandler* handler,
                               EventRegistrationToken* token) override;
    HRESULT remove_HistoryChanged(EventRegistrationToken token) override;
    HRESULT add_NavigationCompleted(ICoreWebView2NavigationCompletedEventHandler* handler,
                                    EventRegistrationToken* token) override;
    HRESULT remove_NavigationCompleted(EventRegistrationToken token) override;
    HRESULT add_ScriptDialogOpening(ICoreWebView2ScriptDialogOpeningEventHandler* handler,
                                    EventRegistrationToken* token) override;
    HRESULT remove_ScriptDialogOpening(EventRegistrationToken token) override;
    HRESULT add_PermissionRequested(ICoreWebView2PermissionRequestedEventHandler* handler,
                                    EventRegistrationToken* token) override;
    HRESULT remove_PermissionRequested(EventRegistrationToken token) override;
    HRESULT add_ProcessFailed(ICoreWebView2ProcessFailedEventHandler* handler,
                              EventRegistrationToken* token) override;
    HRESULT remove_ProcessFailed(EventRegistrationToken token) override;
    HRESULT AddScriptToExecuteOnDocumentCreated(
        const QString& javaScript,
        ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler* handler) override;
    HRESULT RemoveScriptToExecuteOnDocumentCreated(const QString& id) override;
    HRESULT ExecuteScript(const QString& javaScript,
                          ICoreWebView2ExecuteScriptCompletedHandler* handler) override;
    HRESULT CapturePreview(COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT imageFormat,
                           QIODevice* imageStream,
                           ICoreWebView2CapturePreviewCompletedHandler* handler) override;
    HRESULT Reload() override;
    HRESULT PostWebMessageAsJson(const QString& webMessageAsJson) override;
    HRESULT PostWebMessageAsString(const QString& webMessageAsString) override;
    HRESULT add_WebMessageReceived(ICoreWebView2WebMessageReceivedEventHandler* handler,
                                   EventRegistrationToken* token) override;
    HRESULT remove_WebMessageReceived(EventRegistrationToken token) override;
    HRESULT get_BrowserProcessId(std::uint32_t* value) override;
    HRESULT get_CanGoBack(bool* canGoBack) override;
    HRESULT get_CanGoForward(bool* canGoForward) override;
    HRESULT GoBack() override;
    HRESULT GoForward() override;
    HRESULT Stop() override;
    HRESULT add_NewWindowRequested(ICoreWebView2NewWindowRequestedEventHandler* handler,
                                   EventRegistrationToken* token) override;
    HRESULT remove_NewWindowRequested(EventRegistrationToken token) override;
    HRESULT add_DocumentTitleChanged(ICoreWebView2DocumentTitleChangedEventHandler* handler,
                                     EventRegistrationToken* token) override;
    HRESULT remove_DocumentTitleChanged(EventRegistrationToken token) override;
    HRESULT get_DocumentTitle(QString* title) override;
    HRESULT AddHostObjectToScript(const QString& name, Variant* object) override;
    HRESULT RemoveHostObjectFromScript(const QString& name) override;
    HRESULT OpenDevToolsWindow() override;
    HRESULT add_ContainsFullScreenElementChanged(
        ICoreWebView2ContainsFullScreenElementChangedEventHandler* handler,
        EventRegistrationToken* token) override;
    HRESULT remove_ContainsFullScreenElementChanged(EventRegistrationToken token) override;
    HRESULT get_ContainsFullScreenElement(bool* containsFullScreenElement) override;
    HRESULT add_WebResourceRequested(ICoreWebView2WebResourceRequestedEventHandler* handler,
                                     EventRegistrationToken* token) override;
    HRESULT remove_WebResourceRequested(EventRegistrationToken token) override;
    HRESULT AddWebResourceRequestedFilter(const QString& uri,
                                          COREWEBVIEW2_WEB_RESOURCE_CONTEXT context) override;
    HRESULT RemoveWebResourceRequestedFilter(const QString& uri,
                                             COREWEBVIEW2_WEB_RESOURCE_CONTEXT context) override;
    HRESULT add_WindowCloseRequested(ICoreWebView2WindowCloseRequestedEventHandler* handler,
                                     EventRegistrationToken* token) override;
    HRESULT remove_WindowCloseRequested(EventRegistrationToken token) override;

    HRESULT add_DOMContentLoaded(ICoreWebView2DOMContentLoadedEventHandler* handler,
                                 EventRegistrationToken* token) override;
    HRESULT remove_DOMContentLoaded(EventRegistrationToken token) override;
    HRESULT get_CookieManager(ICoreWebView2CookieManager** cookieManager) override;
    HRESULT get_Environment(ICoreWebView2Environment** environment) override;

    HRESULT TrySuspend(ICoreWebView2TrySuspendCompletedHandler* handler) override;
    HRESULT Resume() override;
    HRESULT get_IsSuspended(bool* isSuspended) override;

    HRESULT add_DownloadStarting(ICoreWebView2DownloadStartingEventHandler* handler,
                                 EventRegistrationToken* token) override;
    HRESULT remove_DownloadStarting(EventRegistrationToken token) override;

    HRESULT PrintToPdf(const QString& resultFilePath, ICoreWebView2PrintSettings* printSettings,
                       ICoreWebView2PrintToPdfCompletedHandler* handler) override;

    HRESULT add_IsMutedChanged(ICoreWebView2IsMutedChangedEventHandler* handler,
                               EventRegistrationToken* token) override;
    HRESULT remove_IsMutedChanged(EventRegistrationToken token) override;
    HRESULT get_IsMuted(bool* value) override;
    HRESULT put_IsMuted(bool value) override;
    HRESULT add_IsDocumentPlayingAudioChanged(
        ICoreWebView2IsDocumentPlayingAudioChangedEventHandler* handler,
        EventRegistrationToken* token) override;
    HRESULT remove_IsDocumentPlayingAudioChanged(EventRegistrationToken token) override;
    HRESULT get_IsDocumentPlayingAudio(bool* value) override;

    HRESULT
    add_BasicAuthenticationRequested(ICoreWebView2BasicAuthenticationRequestedEventHandler* handler,
                                     EventRegistrationToken* token) override;
    HRESULT remove_BasicAuthenticationRequested(EventRegistrationToken token) override;

    HRESULT add_StatusBarTextChanged(ICoreWebView2StatusBarTextChangedEventHandler* handler,
                                     EventRegistrationToken* token) override;
    HRESULT remove_StatusBarTextChanged(EventRegistrationToken token) override;
    HRESULT get_StatusBarText(QString* value) override;

    HRESULT get_Profile(ICoreWebView2Profile** value) override;

    HRESULT PrintToPdfStream(ICoreWebView2PrintSettings* printSettings,
                             ICoreWebView2PrintToPdfStreamCompletedHandler* handler) override;
    HRESULT ShowPrintUI(COREWEBVIEW2_PRINT_DIALOG_KIND printDialogKind) override;

private:
    struct ResourceFilter {
        QString uri;
        QRegularExpression pattern;
        COREWEBVIEW2_WEB_RESOURCE_CONTEXT context;
    };

    bool usable() const { return !m_closed && m_page; }
    // Runs work from the event loop while this view is open.
    void later(std::function<void()> work);
    void connectPage();
    void documentCreated();
    void loadFinished(bool ok);
    void completeNavigation(bool ok);
    void interceptRequest(QWebEngineUrlRequestInfo& info);
    void webMessage(const QString& json, bool isString);
    void featurePermission(const QUrl& origin, QWebEnginePage::Feature feature);
    // Applies the settings that Qt reads from the page; the layout, or
    // nothing when the settings ask for what Qt WebEngine cannot print.
    std::optional<QPageLayout> preparePdfPrinting(ICoreWebView2PrintSettings* printSettings);
    void afterSettingsApplied(std::function<void()> work);

    std::shared_ptr<ProfileContext> m_profile;
    ComPtr<ICoreWebView2Environment> m_environment;
    QPointer<QWebEngineView> m_view;
    QPointer<WebPage> m_page;
    QPointer<ScriptBridge> m_bridge;
    std::unique_ptr<StringDocuments> m_strings;
    std::unique_ptr<QWebEngineView> m_devTools;
    ComPtr<Settings> m_settings;
    bool m_closed = false;

    std::uint64_t m_navigationId = 0;
    bool m_documentCreated = false;
    // The last navigation was cancelled; Qt still ends it with a failed load.
    bool m_navigationCancelled = false;
    int m_lastErrorCode = 0;
    int m_lastErrorDomain = 0;
    QUrl m_lastSource;
    QString m_statusText;
    bool m_fullScreen = false;
    QList<ResourceFilter> m_filters;
    // The printer of the print dialog's job while the view prints on it.
    std::unique_ptr<QPrinter> m_printer;

    EventHandlers<ICoreWebView2NavigationStartingEventHandler> m_navigationStarting;
    EventHandlers<ICoreWebView2ContentLoadingEventHandler> m_contentLoading;
    EventHandlers<ICoreWebView2SourceChangedEventHandler> m_sourceChanged;
    EventHandlers<ICoreWebView2HistoryChangedEventHandler> m_historyChanged;
    EventHandlers<ICoreWebView2NavigationCompletedEventHandler> m_navigationCompleted;
    EventHandlers<ICoreWebView2ScriptDialogOpeningEventHandler> m_scriptDialogOpening;
    EventHandlers<ICoreWebView2PermissionRequestedEventHandler> m_permissionRequested;
    EventHandlers<ICoreWebView2ProcessFailedEventHandler> m_processFailed;
    EventHandlers<ICoreWebView2WebMessageReceivedEventHandler> m_webMessageReceived;
    EventHandlers<ICoreWebView2NewWindowRequestedEventHandler> m_newWindowRequested;
    EventHandlers<ICoreWebView2DocumentTitleChangedEventHandler> m_documentTitleChanged;
    EventHandlers<ICoreWebView2ContainsFullScreenElementChangedEventHandler> m_fullScreenChanged;
    EventHandlers<ICoreWebView2WebResourceRequestedEventHandler> m_webResourceRequested;
    EventHandlers<ICoreWebView2WindowCloseRequestedEventHandler> m_windowCloseRequested;
    EventHandlers<ICoreWebView2DOMContentLoadedEventHandler> m_domContentLoaded;
    EventHandlers<ICoreWebView2DownloadStartingEventHandler> m_downloadStarting;
    EventHandlers<ICoreWebView2IsMutedChangedEventHandler> m_isMutedChanged;
    EventHandlers<ICoreWebView2IsDocumentPlayingAudioChangedEventHandler> m_audioChanged;
    EventHandlers<ICoreWebView2BasicAuthenticationRequestedEventHandler> m_basicAuthentication;
    EventHandlers<ICoreWebView2StatusBarTextChangedEventHandler> m_statusBarTextChanged;
};
