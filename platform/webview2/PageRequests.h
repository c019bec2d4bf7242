#pragma once

#include "CoreWebView2Events.h"

#include <QUrl>
#include <QWebEnginePage>

class QAuthenticator;
class QWebEngineDownloadRequest;
class QWebEngineNewWindowRequest;

// What a page asks of its host: script dialogs, permissions, downloads, credentials and new
// windows. Each request is raised with the view's handlers, and the engine gets what they
// answered.
class PageRequests {
public:
    PageRequests(const ViewEventHandlers& events, ICoreWebView2* sender);

    // True when a handler accepted the dialog; a prompt's text is then in `result`.
    bool scriptDialog(COREWEBVIEW2_SCRIPT_DIALOG_KIND kind, const QUrl& origin,
                      const QString& message, const QString& defaultText, QString* result) const;
    void permission(QWebEnginePage& page, const QUrl& origin,
                    QWebEnginePage::Feature feature) const;
    // Accepts the download into the folder and file name the handlers leave, or cancels it.
    void download(QWebEngineDownloadRequest& download) const;
    // Fills in the handlers' credentials; without any, `authenticator` is nulled, which
    // refuses the request.
    void authentication(const QUrl& url, QAuthenticator& authenticator) const;
    void newWindow(const QWebEngineNewWindowRequest& request) const;

private:
    const ViewEventHandlers& m_events;
    ICoreWebView2* m_sender;
};
