#include "CoreWebView2Events.h"

#define KWV_EVENT(Name, list)                                                                      \
    HRESULT CoreWebView2Events::add_##Name(decltype(list)::HandlerType* handler,                   \
                                           EventRegistrationToken* token) {                        \
        return list.add(handler, token);                                                           \
    }                                                                                              \
    HRESULT CoreWebView2Events::remove_##Name(EventRegistrationToken token) {                      \
        return list.remove(token);                                                                 \
    }

KWV_EVENT(NavigationStarting, m_events.navigationStarting)
KWV_EVENT(ContentLoading, m_events.contentLoading)
KWV_EVENT(SourceChanged, m_events.sourceChanged)
KWV_EVENT(HistoryChanged, m_events.historyChanged)
KWV_EVENT(NavigationCompleted, m_events.navigationCompleted)
KWV_EVENT(ScriptDialogOpening, m_events.scriptDialogOpening)
KWV_EVENT(PermissionRequested, m_events.permissionRequested)
KWV_EVENT(ProcessFailed, m_events.processFailed)
KWV_EVENT(WebMessageReceived, m_events.webMessageReceived)
KWV_EVENT(NewWindowRequested, m_events.newWindowRequested)
KWV_EVENT(DocumentTitleChanged, m_events.documentTitleChanged)
KWV_EVENT(ContainsFullScreenElementChanged, m_events.fullScreenChanged)
KWV_EVENT(WebResourceRequested, m_events.webResourceRequested)
KWV_EVENT(WindowCloseRequested, m_events.windowCloseRequested)
KWV_EVENT(DOMContentLoaded, m_events.domContentLoaded)
KWV_EVENT(DownloadStarting, m_events.downloadStarting)
KWV_EVENT(IsMutedChanged, m_events.isMutedChanged)
KWV_EVENT(IsDocumentPlayingAudioChanged, m_events.audioChanged)
KWV_EVENT(BasicAuthenticationRequested, m_events.basicAuthentication)
KWV_EVENT(StatusBarTextChanged, m_events.statusBarTextChanged)

#undef KWV_EVENT
