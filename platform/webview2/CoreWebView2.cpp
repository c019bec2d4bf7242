#include "CoreWebView2.h"

#include "BridgeSchemeHandler.h"
#include "CookieManager.h"
#include "DocumentScripts.h"
#include "EngineValues.h"
#include "EventArgs.h"
#include "Profile.h"
#include "ProfileContext.h"
#include "RequestInterceptor.h"
#include "ScriptBridge.h"
#include "Settings.h"

#include "platform/MessagePump.h"
#include "platform/automation/Variant.h"

#include <QApplication>
#include <QAuthenticator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPrinter>
#include <QTimer>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineHttpRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestInfo>
#include <QWebEngineView>

namespace {

// setHtml's limit, the same as WebView2's for NavigateToString.
constexpr qsizetype maxHtmlBytes = 2 * 1024 * 1024;

template <typename T> HRESULT read(T* target, const T& value) {
    if (!target)
        return hr::E_POINTER;
    *target = value;
    return hr::S_OK;
}

} // namespace

CoreWebView2::CoreWebView2(ComPtr<ICoreWebView2Environment> environment,
                           std::shared_ptr<ProfileContext> profile, QWidget* parent)
    : m_profile(std::move(profile))
    , m_environment(std::move(environment))
    , m_view(new QWebEngineView(parent))
    , m_requests(m_events, this) {
    m_page = new WebPage(m_profile->profile(), m_view, this);
    m_view->setPage(m_page);
    m_strings = std::make_unique<StringDocuments>(m_page);
    m_navigations = std::make_unique<Navigations>(
        m_events, this, m_page, *m_strings,
        [this](std::function<void()> work) { later(std::move(work)); });
    m_settings = makeCom<Settings>(m_view.data());
    ScriptBridge::Client client;
    client.hostObjectsAllowed = [this] {
        return m_settings->hostObjectsAllowed();
    };
    client.webMessagesEnabled = [this] {
        return m_settings->webMessagesEnabled();
    };
    client.documentCreated = [this] {
        m_navigations->documentCreated();
    };
    client.domContentLoaded = [this] {
        auto args = makeCom<DOMContentLoadedArgs>();
        args->navigationId = m_navigations->currentId();
        m_events.domContentLoaded.raise(this, args.get());
    };
    client.webMessage = [this](const QString& json, bool isString) {
        webMessage(json, isString);
    };
    m_bridge = new ScriptBridge(m_page, std::move(client));
    m_page->setUrlRequestInterceptor(new RequestInterceptor(
        [this](QWebEngineUrlRequestInfo& info) { interceptRequest(info); }, m_page));
    connectPage();
}

CoreWebView2::~CoreWebView2() {
    close();
}

void CoreWebView2::close() {
    if (m_closed)
        return;
    // The view prints on a thread of its own: a job it still prints is
    // finished first, not lost with the view.
    if (m_printer)
        pump::waitUntil([this] { return !m_printer; }, std::chrono::minutes(1));
    m_closed = true;
    m_devTools.reset();
    if (m_page)
        m_page->detach();
    // The page goes with its view, before the profile this object still holds.
    delete m_view.data();
}

void CoreWebView2::later(std::function<void()> work) {
    ComPtr<CoreWebView2> self(this);
    QObject* context = m_page ? static_cast<QObject*>(m_page.data()) : qApp;
    QTimer::singleShot(0, context, [self, work = std::move(work)] {
        if (self->usable())
            work();
    });
}

void CoreWebView2::connectPage() {
    QWebEnginePage* page = m_page;
    QObject::connect(page, &QWebEnginePage::urlChanged, page, [this](const QUrl& url) {
        // A navigation whose load the engine does not report ends as loads do.
        m_strings->urlChanged(url,
                              [this] { later([this] { m_navigations->loadFinished(true); }); });
        auto args = makeCom<SourceChangedArgs>();
        args->isNewDocument =
            url.adjusted(QUrl::RemoveFragment) != m_lastSource.adjusted(QUrl::RemoveFragment);
        m_lastSource = url;
        m_events.sourceChanged.raise(this, args.get());
        m_events.historyChanged.raise(this, static_cast<IUnknown*>(nullptr));
    });
    QObject::connect(page, &QWebEnginePage::loadingChanged, page,
                     [this](const QWebEngineLoadingInfo& info) {
                         if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus)
                             m_navigations->loadFailed(info.errorDomain(), info.errorCode());
                     });
    QObject::connect(page, &QWebEnginePage::loadFinished, page,
                     [this](bool ok) { m_navigations->loadFinished(ok); });
    QObject::connect(page, &QWebEnginePage::titleChanged, page, [this] {
        m_events.documentTitleChanged.raise(this, static_cast<IUnknown*>(nullptr));
    });
    QObject::connect(page, &QWebEnginePage::renderProcessTerminated, page,
                     [this](QWebEnginePage::RenderProcessTerminationStatus status) {
                         if (status == QWebEnginePage::NormalTerminationStatus)
                             return;
                         m_page->rendererLost();
                         auto args = makeCom<ProcessFailedArgs>();
                         m_events.processFailed.raise(this, args.get());
                     });
    QObject::connect(page, &QWebEnginePage::windowCloseRequested, page, [this] {
        m_events.windowCloseRequested.raise(this, static_cast<IUnknown*>(nullptr));
    });
    QObject::connect(page, &QWebEnginePage::linkHovered, page, [this](const QString& url) {
        m_statusText = url;
        m_events.statusBarTextChanged.raise(this, static_cast<IUnknown*>(nullptr));
    });
    QObject::connect(page, &QWebEnginePage::audioMutedChanged, page, [this] {
        m_events.isMutedChanged.raise(this, static_cast<IUnknown*>(nullptr));
    });
    QObject::connect(page, &QWebEnginePage::recentlyAudibleChanged, page, [this] {
        m_events.audioChanged.raise(this, static_cast<IUnknown*>(nullptr));
    });
    QObject::connect(page, &QWebEnginePage::featurePermissionRequested, page,
                     [this](const QUrl& origin, QWebEnginePage::Feature feature) {
                         m_requests.permission(*m_page, origin, feature);
                     });
    QObject::connect(page, &QWebEnginePage::fullScreenRequested, page,
                     [this](QWebEngineFullScreenRequest request) {
                         request.accept();
                         m_fullScreen = request.toggleOn();
                         m_events.fullScreenChanged.raise(this, static_cast<IUnknown*>(nullptr));
                     });
    QObject::connect(
        page, &QWebEnginePage::newWindowRequested, page,
        [this](const QWebEngineNewWindowRequest& request) { m_requests.newWindow(request); });
    QObject::connect(page, &QWebEnginePage::authenticationRequired, page,
                     [this](const QUrl& url, QAuthenticator* authenticator) {
                         m_requests.authentication(url, *authenticator);
                     });
}

bool CoreWebView2::navigationRequested(const QUrl& url, QWebEnginePage::NavigationType type) {
    return m_navigations->requested(url, type);
}

bool CoreWebView2::defaultScriptDialogs() const {
    return m_settings->defaultScriptDialogs();
}

bool CoreWebView2::scriptDialog(COREWEBVIEW2_SCRIPT_DIALOG_KIND kind, const QUrl& origin,
                                const QString& message, const QString& defaultText,
                                QString* result) {
    return m_requests.scriptDialog(kind, origin, message, defaultText, result);
}

void CoreWebView2::downloadRequested(QWebEngineDownloadRequest* download) {
    m_requests.download(*download);
}

void CoreWebView2::interceptRequest(QWebEngineUrlRequestInfo& info) {
    if (m_closed || m_events.webResourceRequested.empty() ||
        BridgeSchemeHandler::isBridgeUrl(info.requestUrl()))
        return;
    const QString uri = info.requestUrl().toString();
    const COREWEBVIEW2_WEB_RESOURCE_CONTEXT context =
        enginevalues::resourceContext(info.resourceType());
    if (!m_filters.matches(uri, context))
        return;
    auto args = makeCom<WebResourceRequestedArgs>();
    args->request->uri = uri;
    args->request->method = QString::fromLatin1(info.requestMethod());
    args->context = context;
    m_events.webResourceRequested.raise(this, args.get());
    if (args->response)
        info.block(true);
}

void CoreWebView2::webMessage(const QString& json, bool isString) {
    auto args = makeCom<WebMessageReceivedArgs>();
    args->source = m_page->url().toString();
    args->json = json;
    args->isString = isString;
    m_events.webMessageReceived.raise(this, args.get());
}

HRESULT CoreWebView2::get_Settings(ICoreWebView2Settings** settings) {
    if (!settings)
        return hr::E_POINTER;
    ComPtr<ICoreWebView2Settings>(m_settings).copyTo(settings);
    return hr::S_OK;
}

HRESULT CoreWebView2::get_Source(QString* uri) {
    if (!usable())
        return hr::ERROR_INVALID_STATE;
    return read(uri, m_page->url().toString());
}

HRESULT CoreWebView2::Navigate(const QString& uri) {
    if (!usable())
        return hr::ERROR_INVALID_STATE;
    const QUrl url(uri, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty())
        return hr::E_INVALIDARG;
    if (url == StringDocuments::address())
        return NavigateToString({});
    m_strings->dropRequest();
    m_page->load(url);
    return hr::S_OK;
}

HRESULT CoreWebView2::NavigateWithWebResourceRequest(const QString& uri, const QString& method,
                                                     const QString& headers,
                                                     const QByteArray& content) {
    if (!usable())
        return hr::ERROR_INVALID_STATE;
    const QUrl url(uri, QUrl::StrictMode);
    const QString verb = method.toUpper();
    if (!url.isValid() || url.scheme().isEmpty() ||
        (verb != QLatin1String("GET") && verb != QLatin1String("POST")))
        return hr::E_INVALIDARG;
    QWebEngineHttpRequest request(url, verb == QLatin1String("POST") ? QWebEngineHttpRequest::Post
                                                                     : QWebEngineHttpRequest::Get);
    for (const QString& line : headers.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        if (colon <= 0)
            return hr::E_INVALIDARG;
        request.setHeader(line.left(colon).trimmed().toLatin1(),
                          line.mid(colon + 1).trimmed().toLatin1());
    }
    if (request.method() == QWebEngineHttpRequest::Post)
        request.setPostData(content);
    m_strings->dropRequest();
    m_page->load(request);
    return hr::S_OK;
}

HRESULT CoreWebView2::NavigateToString(const QString& htmlContent) {
    if (!usable())
        return hr::ERROR_INVALID_STATE;
    if (htmlContent.toUtf8().size() > maxHtmlBytes)
        return hr::E_INVALIDARG;
    m_strings->request(htmlContent);
    // Announced from the event loop, as the engine announces the navigations it starts.
    later([this] {
        const auto html = m_strings->takeRequest();
        if (!html)
            return;
        if (navigationRequested(StringDocuments::address(), QWebEnginePage::NavigationTypeTyped))
            m_strings->show(*html);
        else
            m_strings->cancelled();
    });
    return hr::S_OK;
}

HRESULT CoreWebView2::AddScriptToExecuteOnDocumentCreated(
    const QString& javaScript,
    ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler* handler) {
    if (!usable())
        return hr::ERROR_INVALID_STATE;
    const QString id = documentscripts::add(*m_page, javaScript);
    if (handler) {
        ComPtr<ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler> completion(
            handler);
        later([completion, id] { completion->Invoke(hr::S_OK, id); });
    }
    return hr::S_OK;
}

HRESULT CoreWebView2::RemoveScriptToExecuteOnDocumentCreated(const QString& id) {
    if (!usable())
        return hr::ERROR_INVALID_STATE;
    documentscripts::remove(*m_page, id);
    return hr::S_OK;
}

HRESULT CoreWebView2::ExecuteScript(const QString& javaScript,
                                    ICoreWebView2ExecuteScriptCompletedHandler* handler) {
    if (!usable())
        return hr::ERROR_INVALID_STATE;
    ComPtr<ICoreWebView2ExecuteScriptCompletedHandler> completion(handler);
    ComPtr<CoreWebView2> self(this);
    documentscripts::execute(*m_page, javaScript, [self, completion](const QString& json) {
        if (completion && self->usable())
            completion->Invoke(hr::S_OK, json);
    });
    return hr::S_OK;
}

HRESULT CoreWebView2::Reload() {
    if (!usable())
        return hr::ERROR_INVALID_STATE;
    m_strings->dropRequest();
    m_page->triggerAction(QWebEnginePage::Reload);
    return hr::S_OK;
}

HRESULT CoreWebView2::PostWebMessageAsJson(const QString& webMessageAsJson) {
    if (!usable())
        return hr::ERROR_INVALID_STATE;
    QJsonParseError error;
    const QJsonDocument document =
        QJsonDocument::fromJson("[" + webMessageAsJson.toUtf8() + "]", &error);
    if (error.error != QJsonParseError::NoError || document.array().size() != 1)
        return hr::E_INVALIDARG;
    if (m_settings->webMessagesEnabled())
        m_bridge->postMessage(document.array().at(0));
    return hr::S_OK;
}

HRESULT CoreWebView2::PostWebMessageAsString(const QString& webMessageAsString) {
    if (!usable())
        return hr::ERROR_INVALID_STATE;
    if (m_settings->webMessagesEnabled())
        m_bridge->postMessage(webMessageAsString);
    return hr::S_OK;
}

HRESULT CoreWebView2::get_BrowserProcessId(std::uint32_t* value) {
    return read(value, static_cast<std::uint32_t>(QCoreApplication::applicationPid()));
}

HRESULT CoreWebView2::get_CanGoBack(bool* canGoBack) {
    if (!usable())
        return hr::ERROR_INVALID_STATE;
    return read(canGoBack, m_page->action(QWebEnginePage::Back)->isEnabled());
}

HRESULT CoreWebView2::get_CanGoForward(bool* canGoForward) {
    if (!usable())
        return hr::ERROR_INVALID_STATE;
    return read(canGoForward, m_page->action(QWebEnginePage::Forward)->isEnabled());
}

HRESULT CoreWebView2::GoBack() {
    if (!usable())
        return hr::ERROR_INVALID_STATE;
    m_strings->dropRequest();
    m_page->triggerAction(QWebEnginePage::Back);
    return hr::S_OK;
}

HRESULT CoreWebView2::GoForward() {
    if (!usable())
        return hr::ERROR_INVALID_STATE;
    m_strings->dropRequest();
    m_page->triggerAction(QWebEnginePage::Forward);
    return hr::S_OK;
}

HRESULT CoreWebView2::Stop() {
    if (!usable())
        return hr::ERROR_INVALID_STATE;
    m_page->triggerAction(QWebEnginePage::Stop);
    return hr::S_OK;
}

HRESULT CoreWebView2::get_DocumentTitle(QString* title) {
    if (!usable())
        return hr::ERROR_INVALID_STATE;
    return read(title, m_page->title());
}

HRESULT CoreWebView2::AddHostObjectToScript(const QString& name, Variant* object) {
    if (!usable())
        return hr::ERROR_INVALID_STATE;
    if (!object || !object->isObject() || !object->toObject() || name.isEmpty() ||
        name.startsWith(QLatin1Char('$')))
        return hr::E_INVALIDARG;
    m_bridge->addHostObject(name, object->toObject());
    return hr::S_OK;
}

HRESULT CoreWebView2::RemoveHostObjectFromScript(const QString& name) {
    if (!usable())
        return hr::ERROR_INVALID_STATE;
    return m_bridge->removeHostObject(name) ? hr::S_OK : hr::E_INVALIDARG;
}

HRESULT CoreWebView2::OpenDevToolsWindow() {
    if (!usable())
        return hr::ERROR_INVALID_STATE;
    if (!m_settings->devToolsEnabled())
        return hr::E_ACCESSDENIED;
    if (!m_devTools) {
        m_devTools = std::make_unique<QWebEngineView>();
        m_devTools->setPage(new QWebEnginePage(m_profile->profile(), m_devTools.get()));
        m_page->setDevToolsPage(m_devTools->page());
    }
    m_devTools->show();
    return hr::S_OK;
}

HRESULT CoreWebView2::get_ContainsFullScreenElement(bool* containsFullScreenElement) {
    return read(containsFullScreenElement, m_fullScreen);
}

HRESULT CoreWebView2::AddWebResourceRequestedFilter(const QString& uri,
                                                    COREWEBVIEW2_WEB_RESOURCE_CONTEXT context) {
    return m_filters.add(uri, context);
}

HRESULT CoreWebView2::RemoveWebResourceRequestedFilter(const QString& uri,
                                                       COREWEBVIEW2_WEB_RESOURCE_CONTEXT context) {
    return m_filters.remove(uri, context);
}

HRESULT CoreWebView2::get_CookieManager(ICoreWebView2CookieManager** cookieManager) {
    if (!cookieManager)
        return hr::E_POINTER;
    if (!usable())
        return hr::ERROR_INVALID_STATE;
    ComPtr<ICoreWebView2CookieManager>(makeCom<CookieManager>(m_profile, m_page.data()))
        .copyTo(cookieManager);
    return hr::S_OK;
}

HRESULT CoreWebView2::get_Environment(ICoreWebView2Environment** environment) {
    if (!environment)
        return hr::E_POINTER;
    m_environment.copyTo(environment);
    return hr::S_OK;
}

HRESULT CoreWebView2::TrySuspend(ICoreWebView2TrySuspendCompletedHandler* handler) {
    if (!usable())
        return hr::ERROR_INVALID_STATE;
    ComPtr<ICoreWebView2TrySuspendCompletedHandler> completion(handler);
    later([this, completion] {
        // Qt WebEngine freezes only hidden pages.
        if (!m_view->isVisible())
            m_page->setLifecycleState(QWebEnginePage::LifecycleState::Frozen);
        const bool frozen = m_page->lifecycleState() == QWebEnginePage::LifecycleState::Frozen;
        if (completion)
            completion->Invoke(hr::S_OK, frozen);
    });
    return hr::S_OK;
}

HRESULT CoreWebView2::Resume() {
    if (!usable())
        return hr::ERROR_INVALID_STATE;
    m_page->setLifecycleState(QWebEnginePage::LifecycleState::Active);
    return hr::S_OK;
}

HRESULT CoreWebView2::get_IsSuspended(bool* isSuspended) {
    if (!usable())
        return hr::ERROR_INVALID_STATE;
    return read(isSuspended, m_page->lifecycleState() == QWebEnginePage::LifecycleState::Frozen);
}

HRESULT CoreWebView2::get_IsMuted(bool* value) {
    if (!usable())
        return hr::ERROR_INVALID_STATE;
    return read(value, m_page->isAudioMuted());
}

HRESULT CoreWebView2::put_IsMuted(bool value) {
    if (!usable())
        return hr::ERROR_INVALID_STATE;
    m_page->setAudioMuted(value);
    return hr::S_OK;
}

HRESULT CoreWebView2::get_IsDocumentPlayingAudio(bool* value) {
    if (!usable())
        return hr::ERROR_INVALID_STATE;
    return read(value, m_page->recentlyAudible());
}

HRESULT CoreWebView2::get_StatusBarText(QString* value) {
    return read(value, m_statusText);
}

HRESULT CoreWebView2::get_Profile(ICoreWebView2Profile** value) {
    if (!value)
        return hr::E_POINTER;
    if (!usable())
        return hr::ERROR_INVALID_STATE;
    ComPtr<ICoreWebView2Profile>(makeCom<Profile>(m_profile, m_page.data())).copyTo(value);
    return hr::S_OK;
}
