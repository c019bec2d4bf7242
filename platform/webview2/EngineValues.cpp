#include "EngineValues.h"

#include <QWebEngineLoadingInfo>

namespace enginevalues {

COREWEBVIEW2_WEB_RESOURCE_CONTEXT resourceContext(QWebEngineUrlRequestInfo::ResourceType type) {
    switch (type) {
    case QWebEngineUrlRequestInfo::ResourceTypeMainFrame:
    case QWebEngineUrlRequestInfo::ResourceTypeSubFrame:
        return COREWEBVIEW2_WEB_RESOURCE_CONTEXT_DOCUMENT;
    case QWebEngineUrlRequestInfo::ResourceTypeStylesheet:
        return COREWEBVIEW2_WEB_RESOURCE_CONTEXT_STYLESHEET;
    case QWebEngineUrlRequestInfo::ResourceTypeScript:
    case QWebEngineUrlRequestInfo::ResourceTypeWorker:
    case QWebEngineUrlRequestInfo::ResourceTypeSharedWorker:
    case QWebEngineUrlRequestInfo::ResourceTypeServiceWorker:
        return COREWEBVIEW2_WEB_RESOURCE_CONTEXT_SCRIPT;
    case QWebEngineUrlRequestInfo::ResourceTypeImage:
    case QWebEngineUrlRequestInfo::ResourceTypeFavicon:
        return COREWEBVIEW2_WEB_RESOURCE_CONTEXT_IMAGE;
    case QWebEngineUrlRequestInfo::ResourceTypeFontResource:
        return COREWEBVIEW2_WEB_RESOURCE_CONTEXT_FONT;
    case QWebEngineUrlRequestInfo::ResourceTypeMedia:
        return COREWEBVIEW2_WEB_RESOURCE_CONTEXT_MEDIA;
    case QWebEngineUrlRequestInfo::ResourceTypeXhr:
        return COREWEBVIEW2_WEB_RESOURCE_CONTEXT_XML_HTTP_REQUEST;
    case QWebEngineUrlRequestInfo::ResourceTypePing:
        return COREWEBVIEW2_WEB_RESOURCE_CONTEXT_PING;
    case QWebEngineUrlRequestInfo::ResourceTypeCspReport:
        return COREWEBVIEW2_WEB_RESOURCE_CONTEXT_CSP_VIOLATION_REPORT;
    default:
        return COREWEBVIEW2_WEB_RESOURCE_CONTEXT_OTHER;
    }
}

// Chromium's network error codes (and HTTP codes) mapped to WebView2's statuses.
COREWEBVIEW2_WEB_ERROR_STATUS webErrorStatus(int domain, int code) {
    if (domain == QWebEngineLoadingInfo::HttpErrorDomain) {
        if (code == 401)
            return COREWEBVIEW2_WEB_ERROR_STATUS_VALID_AUTHENTICATION_CREDENTIALS_REQUIRED;
        if (code == 407)
            return COREWEBVIEW2_WEB_ERROR_STATUS_VALID_PROXY_AUTHENTICATION_REQUIRED;
        return COREWEBVIEW2_WEB_ERROR_STATUS_UNKNOWN;
    }
    switch (code) {
    case -3:
        return COREWEBVIEW2_WEB_ERROR_STATUS_OPERATION_CANCELED;
    case -7:
    case -118:
        return COREWEBVIEW2_WEB_ERROR_STATUS_TIMEOUT;
    case -100:
    case -103:
        return COREWEBVIEW2_WEB_ERROR_STATUS_CONNECTION_ABORTED;
    case -101:
        return COREWEBVIEW2_WEB_ERROR_STATUS_CONNECTION_RESET;
    case -102:
    case -104:
        return COREWEBVIEW2_WEB_ERROR_STATUS_CANNOT_CONNECT;
    case -105:
    case -137:
        return COREWEBVIEW2_WEB_ERROR_STATUS_HOST_NAME_NOT_RESOLVED;
    case -106:
        return COREWEBVIEW2_WEB_ERROR_STATUS_DISCONNECTED;
    case -109:
        return COREWEBVIEW2_WEB_ERROR_STATUS_SERVER_UNREACHABLE;
    case -200:
        return COREWEBVIEW2_WEB_ERROR_STATUS_CERTIFICATE_COMMON_NAME_IS_INCORRECT;
    case -201:
        return COREWEBVIEW2_WEB_ERROR_STATUS_CERTIFICATE_EXPIRED;
    case -206:
        return COREWEBVIEW2_WEB_ERROR_STATUS_CERTIFICATE_REVOKED;
    case -202:
    case -207:
        return COREWEBVIEW2_WEB_ERROR_STATUS_CERTIFICATE_IS_INVALID;
    case -310:
        return COREWEBVIEW2_WEB_ERROR_STATUS_REDIRECT_FAILED;
    case -320:
    case -324:
        return COREWEBVIEW2_WEB_ERROR_STATUS_ERROR_HTTP_INVALID_SERVER_RESPONSE;
    default:
        return COREWEBVIEW2_WEB_ERROR_STATUS_UNKNOWN;
    }
}

COREWEBVIEW2_PERMISSION_KIND permissionKind(QWebEnginePage::Feature feature) {
    switch (feature) {
    case QWebEnginePage::Notifications:
        return COREWEBVIEW2_PERMISSION_KIND_NOTIFICATIONS;
    case QWebEnginePage::Geolocation:
        return COREWEBVIEW2_PERMISSION_KIND_GEOLOCATION;
    case QWebEnginePage::MediaAudioCapture:
        return COREWEBVIEW2_PERMISSION_KIND_MICROPHONE;
    case QWebEnginePage::MediaVideoCapture:
    case QWebEnginePage::MediaAudioVideoCapture:
        return COREWEBVIEW2_PERMISSION_KIND_CAMERA;
    default:
        return COREWEBVIEW2_PERMISSION_KIND_UNKNOWN_PERMISSION;
    }
}

} // namespace enginevalues
