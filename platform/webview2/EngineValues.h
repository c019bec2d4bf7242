#pragma once

#include "WebView2.h"

#include <QWebEnginePage>
#include <QWebEngineUrlRequestInfo>

// The engine's kinds and codes in WebView2's terms.
namespace enginevalues {

COREWEBVIEW2_WEB_RESOURCE_CONTEXT resourceContext(QWebEngineUrlRequestInfo::ResourceType type);
COREWEBVIEW2_WEB_ERROR_STATUS webErrorStatus(int domain, int code);
COREWEBVIEW2_PERMISSION_KIND permissionKind(QWebEnginePage::Feature feature);

} // namespace enginevalues
