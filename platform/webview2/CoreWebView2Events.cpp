#include "CoreWebView2Events.h"

KWV_EVENT_REGISTRATION(CoreWebView2Events, NavigationStarting, m_events.navigationStarting)
KWV_EVENT_REGISTRATION(CoreWebView2Events, ContentLoading, m_events.contentLoading)
KWV_EVENT_REGISTRATION(CoreWebView2Events, SourceChanged, m_events.sourceChanged)
KWV_EVENT_REGISTRATION(CoreWebView2Events, HistoryChanged, m_events.historyChanged)
KWV_EVENT_REGISTRATION(CoreWebView2Events, NavigationCompleted, m_events.navigationCompleted)
KWV_EVENT_REGISTRATION(CoreWebView2Events, ScriptDialogOpening, m_events.scriptDialogOpening)
KWV_EVENT_REGISTRATION(CoreWebView2Events, PermissionRequested, m_events.permissionRequested)
KWV_EVENT_REGISTRATION(CoreWebView2Events, ProcessFailed, m_events.processFailed)
KWV_EVENT_REGISTRATION(CoreWebView2Events, WebMessageReceived, m_events.webMessageReceived)
KWV_EVENT_REGISTRATION(CoreWebView2Events, NewWindowRequested, m_events.newWindowRequested)
KWV_EVENT_REGISTRATION(CoreWebView2Events, DocumentTitleChanged, m_events.documentTitleChanged)
KWV_EVENT_REGISTRATION(CoreWebView2Events, ContainsFullScreenElementChanged,
                       m_events.fullScreenChanged)
KWV_EVENT_REGISTRATION(CoreWebView2Events, WebResourceRequested, m_events.webResourceRequested)
KWV_EVENT_REGISTRATION(CoreWebView2Events, WindowCloseRequested, m_events.windowCloseRequested)
KWV_EVENT_REGISTRATION(CoreWebView2Events, DOMContentLoaded, m_events.domContentLoaded)
KWV_EVENT_REGISTRATION(CoreWebView2Events, DownloadStarting, m_events.downloadStarting)
KWV_EVENT_REGISTRATION(CoreWebView2Events, IsMutedChanged, m_events.isMutedChanged)
KWV_EVENT_REGISTRATION(CoreWebView2Events, IsDocumentPlayingAudioChanged, m_events.audioChanged)
KWV_EVENT_REGISTRATION(CoreWebView2Events, BasicAuthenticationRequested,
                       m_events.basicAuthentication)
KWV_EVENT_REGISTRATION(CoreWebView2Events, StatusBarTextChanged, m_events.statusBarTextChanged)
