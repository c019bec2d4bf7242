#include "CoreWebView2.h"

#include "BridgeSchemeHandler.h"
#include "CookieManager.h"
#include "Download.h"
#include "EngineValues.h"
#include "EventArgs.h"
#include "PrintSettings.h"
#include "Profile.h"
#include "ProfileContext.h"
#include "RequestInterceptor.h"
#include "ScriptBridge.h"
#include "ScriptText.h"
#include "Settings.h"
#include "WebPage.h"

#include "platform/MessagePump.h"
#include "platform/automation/Variant.h"

#include <QApplication>
#include <QAuthenticator>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPixmap>
#include <QPrinter>
#include <QTimer>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineHttpRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineUrlRequestInfo>
#include <QWebEngineView>

#include <utility>

namespace {

using scripttext::jsonLiteral;

// setHtml's limit, the same as WebView2's for NavigateToString.
constexpr qsizetype maxHtmlBytes = 2 * 1024 * 1024;

QRegularExpression wildcardPattern(const QString& wildcard) {
    QString pattern;
    for (const QChar c : wildcard) {
        if (c == QLatin1Char('*'))
            pattern += QLatin1String(".*");
        else if (c == QLatin1Char('?'))
            pattern += QLatin1Char('.');
        else
            pattern += QRegularExpression::escape(QString(c));
    }
    return QRegularExpression(QRegularExpression::anchoredPattern(pattern),
                              QRegularExpression::CaseInsensitiveOption);
}

template <typename T> HRESULT read(T* target, const T& value) {
    if (!target)
        return hr::E_POINTER;
    *target = value;
    return hr::S_OK;
}

// ExecuteScript runs the text as a global script and answers with the JSON
// text of its completion value, "null" when it throws or has no JSON form.
QString executeScriptWrapper(const QString& javaScript) {
    return QStringLiteral(
               "(function () { try { var s = JSON.stringify((0, eval)(%1));"
               " return s === undefined ? 'null' : s; } catch (e) { return 'null'; } })()")
        .arg(jsonLiteral(javaScript));
}

} // namespace

CoreWebView2::CoreWebView2(ComPtr<ICoreWebView2Environment> environment,
                           std::shared_ptr<ProfileContext> profile, QWidget* parent)
    : m_profile(std::move(profile))
    , m_environment(std::move(environment))
    , m_view(new QWebEngineView(parent)) {
    m_page = new WebPage(m_profile->profile(), m_view, this);
    m_view->setPage(m_page);
    m_strings = std::make_unique<StringDocuments>(m_page);
    m_settings = makeCom<Settings>(m_view.data());
    ScriptBridge::Client client;
    client.hostObjectsAllowed = [this] {
        return m_settings->hostObjectsAllowed();
    };
    client.webMessagesEnabled = [this] {
        return m_settings->webMessagesEnabled();
    };
    client.documentCreated = [this] {
        documentCreated();
    };
    client.domContentLoaded = [this] {
        auto args = makeCom<DOMContentLoadedArgs>();
        args->navigationId = m_navigationId;
        m_domContentLoaded.raise(this, args.get());
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
        m_strings->urlChanged(url, [this] { later([this] { loadFinished(true); }); });
        auto args = makeCom<SourceChangedArgs>();
        args->isNewDocument =
            url.adjusted(QUrl::RemoveFragment) != m_lastSource.adjusted(QUrl::RemoveFragment);
        m_lastSource = url;
        m_sourceChanged.raise(this, args.get());
        m_historyChanged.raise(this, static_cast<IUnknown*>(nullptr));
    });
    QObject::connect(page, &QWebEnginePage::loadingChanged, page,
                     [this](const QWebEngineLoadingInfo& info) {
                         if (info.status() != QWebEngineLoadingInfo::LoadFailedStatus)
                             return;
                         m_lastErrorCode = info.errorCode();
                         m_lastErrorDomain = info.errorDomain();
                     });
    QObject::connect(page, &QWebEnginePage::loadFinished, page,
                     [this](bool ok) { loadFinished(ok); });
    QObject::connect(page, &QWebEnginePage::titleChanged, page, [this] {
        m_documentTitleChanged.raise(this, static_cast<IUnknown*>(nullptr));
    });
    QObject::connect(page, &QWebEnginePage::renderProcessTerminated, page,
                     [this](QWebEnginePage::RenderProcessTerminationStatus status) {
                         if (status == QWebEnginePage::NormalTerminationStatus)
                             return;
                         m_page->rendererLost();
                         auto args = makeCom<ProcessFailedArgs>();
                         m_processFailed.raise(this, args.get());
                     });
    QObject::connect(page, &QWebEnginePage::windowCloseRequested, page, [this] {
        m_windowCloseRequested.raise(this, static_cast<IUnknown*>(nullptr));
    });
    QObject::connect(page, &QWebEnginePage::linkHovered, page, [this](const QString& url) {
        m_statusText = url;
        m_statusBarTextChanged.raise(this, static_cast<IUnknown*>(nullptr));
    });
    QObject::connect(page, &QWebEnginePage::audioMutedChanged, page,
                     [this] { m_isMutedChanged.raise(this, static_cast<IUnknown*>(nullptr)); });
    QObject::connect(page, &QWebEnginePage::recentlyAudibleChanged, page,
                     [this] { m_audioChanged.raise(this, static_cast<IUnknown*>(nullptr)); });
    QObject::connect(page, &QWebEnginePage::featurePermissionRequested, page,
                     [this](const QUrl& origin, QWebEnginePage::Feature feature) {
                         featurePermission(origin, feature);
                     });
    QObject::connect(page, &QWebEnginePage::fullScreenRequested, page,
                     [this](QWebEngineFullScreenRequest request) {
                         request.accept();
                         m_fullScreen = request.toggleOn();
                         m_fullScreenChanged.raise(this, static_cast<IUnknown*>(nullptr));
                     });
    QObject::connect(page, &QWebEnginePage::newWindowRequested, page,
                     [this](QWebEngineNewWindowRequest& request) {
                         auto args = makeCom<NewWindowRequestedArgs>();
                         args->uri = request.requestedUrl().toString();
                         args->isUserInitiated = request.isUserInitiated();
                         const QRect geometry = request.requestedGeometry();
                         args->features->hasPosition = !geometry.topLeft().isNull();
                         args->features->hasSize = !geometry.size().isEmpty();
                         args->features->left = static_cast<std::uint32_t>(geometry.left());
                         args->features->top = static_cast<std::uint32_t>(geometry.top());
                         args->features->width = static_cast<std::uint32_t>(geometry.width());
                         args->features->height = static_cast<std::uint32_t>(geometry.height());
                         m_newWindowRequested.raise(this, args.get());
                     });
    QObject::connect(
        page, &QWebEnginePage::authenticationRequired, page,
        [this](const QUrl& url, QAuthenticator* authenticator) {
            auto args = makeCom<BasicAuthenticationRequestedArgs>();
            args->uri = url.toString();
            args->challenge = QStringLiteral("Basic realm=\"%1\"").arg(authenticator->realm());
            m_basicAuthentication.raise(this, args.get());
            const auto& response = *args->response;
            // Unanswered or cancelled: a null authenticator refuses the request.
            if (args->cancel || (response.userName.isEmpty() && response.password.isEmpty())) {
                *authenticator = QAuthenticator();
                return;
            }
            authenticator->setUser(response.userName);
            authenticator->setPassword(response.password);
        });
}

bool CoreWebView2::navigationRequested(const QUrl& url, QWebEnginePage::NavigationType type) {
    if (m_strings->isOwnLoad(url))
        return true;
    auto args = makeCom<NavigationStartingArgs>();
    args->uri = url.toString();
    args->isUserInitiated = type == QWebEnginePage::NavigationTypeLinkClicked ||
                            type == QWebEnginePage::NavigationTypeFormSubmitted;
    args->isRedirected = type == QWebEnginePage::NavigationTypeRedirect;
    args->navigationId =
        type == QWebEnginePage::NavigationTypeRedirect ? m_navigationId : ++m_navigationId;
    m_documentCreated = false;
    m_strings->navigationStarted(url, type);
    m_lastErrorCode = 0;
    m_lastErrorDomain = 0;
    m_navigationStarting.raise(this, args.get());
    m_navigationCancelled = args->cancel;
    if (!args->cancel)
        return true;
    // A cancelled navigation completes unsuccessfully, as WebView2 reports it.
    later([this, id = args->navigationId] {
        auto completed = makeCom<NavigationCompletedArgs>();
        completed->status = COREWEBVIEW2_WEB_ERROR_STATUS_OPERATION_CANCELED;
        completed->navigationId = id;
        m_navigationCompleted.raise(this, completed.get());
    });
    return false;
}

void CoreWebView2::documentCreated() {
    m_documentCreated = true;
    m_page->documentAnnounced();
    auto args = makeCom<ContentLoadingArgs>();
    args->navigationId = m_navigationId;
    m_contentLoading.raise(this, args.get());
}

void CoreWebView2::loadFinished(bool ok) {
    // A cancelled navigation has completed already, once, as cancelled.
    if (std::exchange(m_navigationCancelled, false) && !ok)
        return;
    // An about:blank document completes once its text is written and loaded,
    // after the notifications its scripts sent on the way.
    if (m_strings->loadFinished(ok, [this, id = m_navigationId] {
            later([this, id] {
                if (id == m_navigationId)
                    completeNavigation(true);
            });
        }))
        return;
    // A document that missed the page's scripts after a crash is loaded again.
    if (ok && !m_documentCreated && m_page->reloadIfScriptsMissed())
        return;
    completeNavigation(ok);
}

void CoreWebView2::completeNavigation(bool ok) {
    // Pages that run no script (scripting off, error pages) announce no document.
    if (!m_documentCreated) {
        m_documentCreated = true;
        auto loading = makeCom<ContentLoadingArgs>();
        loading->isErrorPage = !ok;
        loading->navigationId = m_navigationId;
        m_contentLoading.raise(this, loading.get());
    }
    auto args = makeCom<NavigationCompletedArgs>();
    args->isSuccess = ok;
    args->status = ok ? COREWEBVIEW2_WEB_ERROR_STATUS_UNKNOWN
                      : enginevalues::webErrorStatus(m_lastErrorDomain, m_lastErrorCode);
    args->navigationId = m_navigationId;
    m_navigationCompleted.raise(this, args.get());
}

bool CoreWebView2::defaultScriptDialogs() const {
    return m_settings->defaultScriptDialogs();
}

bool CoreWebView2::scriptDialog(COREWEBVIEW2_SCRIPT_DIALOG_KIND kind, const QUrl& origin,
                                const QString& message, const QString& defaultText,
                                QString* result) {
    auto args = makeCom<ScriptDialogOpeningArgs>();
    args->kind = kind;
    args->uri = origin.toString();
    args->message = message;
    args->defaultText = defaultText;
    m_scriptDialogOpening.raise(this, args.get());
    if (args->accepted)
        *result = args->resultText;
    return args->accepted;
}

void CoreWebView2::featurePermission(const QUrl& origin, QWebEnginePage::Feature feature) {
    auto args = makeCom<PermissionRequestedArgs>();
    args->uri = origin.toString();
    args->kind = enginevalues::permissionKind(feature);
    m_permissionRequested.raise(this, args.get());
    const auto policy =
        args->state == COREWEBVIEW2_PERMISSION_STATE_ALLOW ? QWebEnginePage::PermissionGrantedByUser
        : args->state == COREWEBVIEW2_PERMISSION_STATE_DENY ? QWebEnginePage::PermissionDeniedByUser
                                                            : QWebEnginePage::PermissionUnknown;
    m_page->setFeaturePermission(origin, feature, policy);
}

void CoreWebView2::downloadRequested(QWebEngineDownloadRequest* download) {
    auto args = makeCom<DownloadStartingArgs>();
    args->operation = makeCom<DownloadOperation>(download);
    args->resultFilePath =
        QDir(download->downloadDirectory()).filePath(download->downloadFileName());
    m_downloadStarting.raise(this, args.get());
    if (args->cancel) {
        download->cancel();
        return;
    }
    const QFileInfo target(args->resultFilePath);
    download->setDownloadDirectory(target.absolutePath());
    download->setDownloadFileName(target.fileName());
    download->accept();
}

void CoreWebView2::interceptRequest(QWebEngineUrlRequestInfo& info) {
    if (m_closed || m_webResourceRequested.empty() ||
        BridgeSchemeHandler::isBridgeUrl(info.requestUrl()))
        return;
    const QString uri = info.requestUrl().toString();
    const COREWEBVIEW2_WEB_RESOURCE_CONTEXT context =
        enginevalues::resourceContext(info.resourceType());
    const bool filtered =
        std::any_of(m_filters.cbegin(), m_filters.cend(), [&](const auto& filter) {
            return (filter.context == COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL ||
                    filter.context == context) &&
                   filter.pattern.match(uri).hasMatch();
        });
    if (!filtered)
        return;
    auto args = makeCom<WebResourceRequestedArgs>();
    args->request->uri = uri;
    args->request->method = QString::fromLatin1(info.requestMethod());
    args->context = context;
    m_webResourceRequested.raise(this, args.get());
    if (args->response)
        info.block(true);
}

void CoreWebView2::webMessage(const QString& json, bool isString) {
    auto args = makeCom<WebMessageReceivedArgs>();
    args->source = m_page->url().toString();
    args->json = json;
    args->isString = isString;
    m_webMessageReceived.raise(this, args.get());
}

#define KWV_EVENT(Name, list)                                                                      \
    HRESULT CoreWebView2::add_##Name(decltype(list)::HandlerType* handler,                         \
                                     EventRegistrationToken* token) {                              \
        return list.add(handler, token);                                                           \
    }                                                                                              \
    HRESULT CoreWebView2::remove_##Name(EventRegistrationToken token) {                            \
        return list.remove(token);                                                                 \
    }

KWV_EVENT(NavigationStarting, m_navigationStarting)
KWV_EVENT(ContentLoading, m_contentLoading)
KWV_EVENT(SourceChanged, m_sourceChanged)
KWV_EVENT(HistoryChanged, m_historyChanged)
KWV_EVENT(NavigationCompleted, m_navigationCompleted)
KWV_EVENT(ScriptDialogOpening, m_scriptDialogOpening)
KWV_EVENT(PermissionRequested, m_permissionRequested)
KWV_EVENT(ProcessFailed, m_processFailed)
KWV_EVENT(WebMessageReceived, m_webMessageReceived)
KWV_EVENT(NewWindowRequested, m_newWindowRequested)
KWV_EVENT(DocumentTitleChanged, m_documentTitleChanged)
KWV_EVENT(ContainsFullScreenElementChanged, m_fullScreenChanged)
KWV_EVENT(WebResourceRequested, m_webResourceRequested)
KWV_EVENT(WindowCloseRequested, m_windowCloseRequested)
KWV_EVENT(DOMContentLoaded, m_domContentLoaded)
KWV_EVENT(DownloadStarting, m_downloadStarting)
KWV_EVENT(IsMutedChanged, m_isMutedChanged)
KWV_EVENT(IsDocumentPlayingAudioChanged, m_audioChanged)
KWV_EVENT(BasicAuthenticationRequested, m_basicAuthentication)
KWV_EVENT(StatusBarTextChanged, m_statusBarTextChanged)

#undef KWV_EVENT

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
    static int lastId = 0;
    const QString id = QString::number(++lastId);
    QWebEngineScript script;
    script.setName(QStringLiteral("kwv-script-") + id);
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::MainWorld);
    script.setRunsOnSubFrames(false);
    script.setSourceCode(StringDocuments::excludingBlank(javaScript));
    m_page->scripts().insert(script);
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
    for (const QWebEngineScript& script :
         m_page->scripts().find(QStringLiteral("kwv-script-") + id))
        m_page->scripts().remove(script);
    return hr::S_OK;
}

HRESULT CoreWebView2::ExecuteScript(const QString& javaScript,
                                    ICoreWebView2ExecuteScriptCompletedHandler* handler) {
    if (!usable())
        return hr::ERROR_INVALID_STATE;
    ComPtr<ICoreWebView2ExecuteScriptCompletedHandler> completion(handler);
    ComPtr<CoreWebView2> self(this);
    m_page->runJavaScript(executeScriptWrapper(javaScript), QWebEngineScript::MainWorld,
                          [self, completion](const QVariant& result) {
                              // Also called with nothing when the page goes away.
                              if (!completion || !self->usable())
                                  return;
                              const QString json = result.typeId() == QMetaType::QString
                                                       ? result.toString()
                                                       : QStringLiteral("null");
                              completion->Invoke(hr::S_OK, json);
                          });
    return hr::S_OK;
}

HRESULT CoreWebView2::CapturePreview(COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT imageFormat,
                                     QIODevice* imageStream,
                                     ICoreWebView2CapturePreviewCompletedHandler* handler) {
    if (!usable())
        return hr::ERROR_INVALID_STATE;
    if (!imageStream || !handler)
        return hr::E_POINTER;
    if (imageFormat != COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT_PNG &&
        imageFormat != COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT_JPEG)
        return hr::E_INVALIDARG;
    ComPtr<ICoreWebView2CapturePreviewCompletedHandler> completion(handler);
    QPointer<QIODevice> stream(imageStream);
    later([this, completion, stream, imageFormat] {
        const char* format =
            imageFormat == COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT_PNG ? "PNG" : "JPG";
        const QPixmap picture = m_view->grab();
        const bool saved = stream && !picture.isNull() && picture.save(stream.data(), format);
        completion->Invoke(saved ? hr::S_OK : hr::E_FAIL);
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
    if (context < COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL ||
        context > COREWEBVIEW2_WEB_RESOURCE_CONTEXT_OTHER)
        return hr::E_INVALIDARG;
    m_filters.append({uri, wildcardPattern(uri), context});
    return hr::S_OK;
}

HRESULT CoreWebView2::RemoveWebResourceRequestedFilter(const QString& uri,
                                                       COREWEBVIEW2_WEB_RESOURCE_CONTEXT context) {
    const auto removed = m_filters.removeIf([&](const ResourceFilter& filter) {
        return filter.uri == uri && filter.context == context;
    });
    return removed ? hr::S_OK : hr::E_INVALIDARG;
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
