#include "Navigations.h"

#include "EngineValues.h"
#include "EventArgs.h"
#include "StringDocuments.h"
#include "WebPage.h"

#include <utility>

Navigations::Navigations(const ViewEventHandlers& events, ICoreWebView2* sender, WebPage* page,
                         StringDocuments& strings, Later later)
    : m_events(events)
    , m_sender(sender)
    , m_page(page)
    , m_strings(strings)
    , m_later(std::move(later)) {
}

bool Navigations::requested(const QUrl& url, QWebEnginePage::NavigationType type) {
    if (m_strings.isOwnLoad(url))
        return true;
    auto args = makeCom<NavigationStartingArgs>();
    args->uri = url.toString();
    args->isUserInitiated = type == QWebEnginePage::NavigationTypeLinkClicked ||
                            type == QWebEnginePage::NavigationTypeFormSubmitted;
    args->isRedirected = type == QWebEnginePage::NavigationTypeRedirect;
    args->navigationId =
        type == QWebEnginePage::NavigationTypeRedirect ? m_navigationId : ++m_navigationId;
    m_documentCreated = false;
    m_strings.navigationStarted(url, type);
    m_lastErrorCode = 0;
    m_lastErrorDomain = 0;
    m_events.navigationStarting.raise(m_sender, args.get());
    m_navigationCancelled = args->cancel;
    if (!args->cancel)
        return true;
    // A cancelled navigation completes unsuccessfully, as WebView2 reports it.
    m_later([this, id = args->navigationId] {
        auto completed = makeCom<NavigationCompletedArgs>();
        completed->status = COREWEBVIEW2_WEB_ERROR_STATUS_OPERATION_CANCELED;
        completed->navigationId = id;
        m_events.navigationCompleted.raise(m_sender, completed.get());
    });
    return false;
}

void Navigations::documentCreated() {
    m_documentCreated = true;
    m_page->documentAnnounced();
    auto args = makeCom<ContentLoadingArgs>();
    args->navigationId = m_navigationId;
    m_events.contentLoading.raise(m_sender, args.get());
}

void Navigations::loadFailed(int errorDomain, int errorCode) {
    m_lastErrorCode = errorCode;
    m_lastErrorDomain = errorDomain;
}

void Navigations::loadFinished(bool ok) {
    // A cancelled navigation has completed already, once, as cancelled.
    if (std::exchange(m_navigationCancelled, false) && !ok)
        return;
    // An about:blank document completes once its text is written and loaded,
    // after the notifications its scripts sent on the way.
    if (m_strings.loadFinished(ok, [this, id = m_navigationId] {
            m_later([this, id] {
                if (id == m_navigationId)
                    complete(true);
            });
        }))
        return;
    // A document that missed the page's scripts after a crash is loaded again.
    if (ok && !m_documentCreated && m_page->reloadIfScriptsMissed())
        return;
    complete(ok);
}

void Navigations::complete(bool ok) {
    // Pages that run no script (scripting off, error pages) announce no document.
    if (!m_documentCreated) {
        m_documentCreated = true;
        auto loading = makeCom<ContentLoadingArgs>();
        loading->isErrorPage = !ok;
        loading->navigationId = m_navigationId;
        m_events.contentLoading.raise(m_sender, loading.get());
    }
    auto args = makeCom<NavigationCompletedArgs>();
    args->isSuccess = ok;
    args->status = ok ? COREWEBVIEW2_WEB_ERROR_STATUS_UNKNOWN
                      : enginevalues::webErrorStatus(m_lastErrorDomain, m_lastErrorCode);
    args->navigationId = m_navigationId;
    m_events.navigationCompleted.raise(m_sender, args.get());
}
