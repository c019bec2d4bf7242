#pragma once

#include "CoreWebView2Events.h"
#include "Navigations.h"
#include "PageRequests.h"
#include "ResourceFilters.h"
#include "StringDocuments.h"
#include "WebPage.h"

#include <QPageLayout>
#include <QPointer>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <memory>

class ProfileContext;
class QPrinter;
class QWebEngineDownloadRequest;
class QWebEngineUrlRequestInfo;
class ScriptBridge;
class Settings;

// The browser of one controller: a QWebEngineView child of the host window
// with its page, settings and script bridge. Its events are registered through
// CoreWebView2Events; navigations are tracked by Navigations, and what the page
// asks of the host is answered by PageRequests.
class CoreWebView2 : public CoreWebView2Events {
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
    HRESULT get_BrowserProcessId(std::uint32_t* value) override;
    HRESULT get_CanGoBack(bool* canGoBack) override;
    HRESULT get_CanGoForward(bool* canGoForward) override;
    HRESULT GoBack() override;
    HRESULT GoForward() override;
    HRESULT Stop() override;
    HRESULT get_DocumentTitle(QString* title) override;
    HRESULT AddHostObjectToScript(const QString& name, Variant* object) override;
    HRESULT RemoveHostObjectFromScript(const QString& name) override;
    HRESULT OpenDevToolsWindow() override;
    HRESULT get_ContainsFullScreenElement(bool* containsFullScreenElement) override;
    HRESULT AddWebResourceRequestedFilter(const QString& uri,
                                          COREWEBVIEW2_WEB_RESOURCE_CONTEXT context) override;
    HRESULT RemoveWebResourceRequestedFilter(const QString& uri,
                                             COREWEBVIEW2_WEB_RESOURCE_CONTEXT context) override;

    HRESULT get_CookieManager(ICoreWebView2CookieManager** cookieManager) override;
    HRESULT get_Environment(ICoreWebView2Environment** environment) override;

    HRESULT TrySuspend(ICoreWebView2TrySuspendCompletedHandler* handler) override;
    HRESULT Resume() override;
    HRESULT get_IsSuspended(bool* isSuspended) override;

    HRESULT PrintToPdf(const QString& resultFilePath, ICoreWebView2PrintSettings* printSettings,
                       ICoreWebView2PrintToPdfCompletedHandler* handler) override;

    HRESULT get_IsMuted(bool* value) override;
    HRESULT put_IsMuted(bool value) override;
    HRESULT get_IsDocumentPlayingAudio(bool* value) override;

    HRESULT get_StatusBarText(QString* value) override;

    HRESULT get_Profile(ICoreWebView2Profile** value) override;

    HRESULT PrintToPdfStream(ICoreWebView2PrintSettings* printSettings,
                             ICoreWebView2PrintToPdfStreamCompletedHandler* handler) override;
    HRESULT ShowPrintUI(COREWEBVIEW2_PRINT_DIALOG_KIND printDialogKind) override;

private:
    bool usable() const { return !m_closed && m_page; }
    // Runs work from the event loop while this view is open.
    void later(std::function<void()> work);
    void connectPage();
    void interceptRequest(QWebEngineUrlRequestInfo& info);
    void webMessage(const QString& json, bool isString);
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
    std::unique_ptr<Navigations> m_navigations;
    PageRequests m_requests;
    std::unique_ptr<QWebEngineView> m_devTools;
    ComPtr<Settings> m_settings;
    bool m_closed = false;

    QUrl m_lastSource;
    QString m_statusText;
    bool m_fullScreen = false;
    ResourceFilters m_filters;
    // The printer of the print dialog's job while the view prints on it.
    std::unique_ptr<QPrinter> m_printer;
};
