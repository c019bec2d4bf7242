#pragma once

#include "CoreWebView2Events.h"

#include <QPointer>
#include <QUrl>
#include <QWebEnginePage>

#include <functional>

class StringDocuments;
class WebPage;

// The navigations of one view as WebView2 reports them: each gets an id and NavigationStarting,
// whose handlers may cancel it, then ContentLoading and NavigationCompleted with the engine's
// error.
class Navigations {
public:
    // Runs work from the event loop while the view is open.
    using Later = std::function<void(std::function<void()>)>;

    Navigations(const ViewEventHandlers& events, ICoreWebView2* sender, WebPage* page,
                StringDocuments& strings, Later later);

    std::uint64_t currentId() const { return m_navigationId; }

    // The engine (or NavigateToString) asks to navigate: true lets the navigation go on.
    bool requested(const QUrl& url, QWebEnginePage::NavigationType type);
    // The page's scripts announced the new document.
    void documentCreated();
    void loadFailed(int errorDomain, int errorCode);
    void loadFinished(bool ok);

private:
    void complete(bool ok);

    const ViewEventHandlers& m_events;
    ICoreWebView2* m_sender;
    QPointer<WebPage> m_page;
    StringDocuments& m_strings;
    Later m_later;

    std::uint64_t m_navigationId = 0;
    bool m_documentCreated = false;
    // The last navigation was cancelled; Qt still ends it with a failed load.
    bool m_navigationCancelled = false;
    int m_lastErrorCode = 0;
    int m_lastErrorDomain = 0;
};
