#include "PageRequests.h"

#include "Download.h"
#include "EngineValues.h"
#include "EventArgs.h"

#include <QAuthenticator>
#include <QDir>
#include <QFileInfo>
#include <QWebEngineDownloadRequest>
#include <QWebEngineNewWindowRequest>

PageRequests::PageRequests(const ViewEventHandlers& events, ICoreWebView2* sender)
    : m_events(events)
    , m_sender(sender) {
}

bool PageRequests::scriptDialog(COREWEBVIEW2_SCRIPT_DIALOG_KIND kind, const QUrl& origin,
                                const QString& message, const QString& defaultText,
                                QString* result) const {
    auto args = makeCom<ScriptDialogOpeningArgs>();
    args->kind = kind;
    args->uri = origin.toString();
    args->message = message;
    args->defaultText = defaultText;
    m_events.scriptDialogOpening.raise(m_sender, args.get());
    if (args->accepted)
        *result = args->resultText;
    return args->accepted;
}

void PageRequests::permission(QWebEnginePage& page, const QUrl& origin,
                              QWebEnginePage::Feature feature) const {
    auto args = makeCom<PermissionRequestedArgs>();
    args->uri = origin.toString();
    args->kind = enginevalues::permissionKind(feature);
    m_events.permissionRequested.raise(m_sender, args.get());
    const auto policy =
        args->state == COREWEBVIEW2_PERMISSION_STATE_ALLOW ? QWebEnginePage::PermissionGrantedByUser
        : args->state == COREWEBVIEW2_PERMISSION_STATE_DENY ? QWebEnginePage::PermissionDeniedByUser
                                                            : QWebEnginePage::PermissionUnknown;
    page.setFeaturePermission(origin, feature, policy);
}

void PageRequests::download(QWebEngineDownloadRequest& download) const {
    auto args = makeCom<DownloadStartingArgs>();
    args->operation = makeCom<DownloadOperation>(&download);
    args->resultFilePath = QDir(download.downloadDirectory()).filePath(download.downloadFileName());
    m_events.downloadStarting.raise(m_sender, args.get());
    if (args->cancel) {
        download.cancel();
        return;
    }
    const QFileInfo target(args->resultFilePath);
    download.setDownloadDirectory(target.absolutePath());
    download.setDownloadFileName(target.fileName());
    download.accept();
}

void PageRequests::authentication(const QUrl& url, QAuthenticator& authenticator) const {
    auto args = makeCom<BasicAuthenticationRequestedArgs>();
    args->uri = url.toString();
    args->challenge = QStringLiteral("Basic realm=\"%1\"").arg(authenticator.realm());
    m_events.basicAuthentication.raise(m_sender, args.get());
    const auto& response = *args->response;
    // Unanswered or cancelled: a null authenticator refuses the request.
    if (args->cancel || (response.userName.isEmpty() && response.password.isEmpty())) {
        authenticator = QAuthenticator();
        return;
    }
    authenticator.setUser(response.userName);
    authenticator.setPassword(response.password);
}

void PageRequests::newWindow(const QWebEngineNewWindowRequest& request) const {
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
    m_events.newWindowRequested.raise(m_sender, args.get());
}
