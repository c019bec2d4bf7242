#pragma once

#include "EventHandlers.h"
#include "WebView2.h"

// The handlers registered for each event of one view.
struct ViewEventHandlers {
    EventHandlers<ICoreWebView2NavigationStartingEventHandler> navigationStarting;
    EventHandlers<ICoreWebView2ContentLoadingEventHandler> contentLoading;
    EventHandlers<ICoreWebView2SourceChangedEventHandler> sourceChanged;
    EventHandlers<ICoreWebView2HistoryChangedEventHandler> historyChanged;
    EventHandlers<ICoreWebView2NavigationCompletedEventHandler> navigationCompleted;
    EventHandlers<ICoreWebView2ScriptDialogOpeningEventHandler> scriptDialogOpening;
    EventHandlers<ICoreWebView2PermissionRequestedEventHandler> permissionRequested;
    EventHandlers<ICoreWebView2ProcessFailedEventHandler> processFailed;
    EventHandlers<ICoreWebView2WebMessageReceivedEventHandler> webMessageReceived;
    EventHandlers<ICoreWebView2NewWindowRequestedEventHandler> newWindowRequested;
    EventHandlers<ICoreWebView2DocumentTitleChangedEventHandler> documentTitleChanged;
    EventHandlers<ICoreWebView2ContainsFullScreenElementChangedEventHandler> fullScreenChanged;
    EventHandlers<ICoreWebView2WebResourceRequestedEventHandler> webResourceRequested;
    EventHandlers<ICoreWebView2WindowCloseRequestedEventHandler> windowCloseRequested;
    EventHandlers<ICoreWebView2DOMContentLoadedEventHandler> domContentLoaded;
    EventHandlers<ICoreWebView2DownloadStartingEventHandler> downloadStarting;
    EventHandlers<ICoreWebView2IsMutedChangedEventHandler> isMutedChanged;
    EventHandlers<ICoreWebView2IsDocumentPlayingAudioChangedEventHandler> audioChanged;
    EventHandlers<ICoreWebView2BasicAuthenticationRequestedEventHandler> basicAuthentication;
    EventHandlers<ICoreWebView2StatusBarTextChangedEventHandler> statusBarTextChanged;
};

// The event registration of a view's interface: handlers are added and removed here; the view
// (CoreWebView2) raises them.
class CoreWebView2Events : public ComObject<ICoreWebView2_16> {
public:
    HRESULT add_NavigationStarting(ICoreWebView2NavigationStartingEventHandler* handler,
                                   EventRegistrationToken* token) override;
    HRESULT remove_NavigationStarting(EventRegistrationToken token) override;
    HRESULT add_ContentLoading(ICoreWebView2ContentLoadingEventHandler* handler,
                               EventRegistrationToken* token) override;
    HRESULT remove_ContentLoading(EventRegistrationToken token) override;
    HRESULT add_SourceChanged(ICoreWebView2SourceChangedEventHandler* handler,
                              EventRegistrationToken* token) override;
    HRESULT remove_SourceChanged(EventRegistrationToken token) override;
    HRESULT add_HistoryChanged(ICoreWebView2HistoryChangedEventHandler* handler,
                               EventRegistrationToken* token) override;
    HRESULT remove_HistoryChanged(EventRegistrationToken token) override;
    HRESULT add_NavigationCompleted(ICoreWebView2NavigationCompletedEventHandler* handler,
                                    EventRegistrationToken* token) override;
    HRESULT remove_NavigationCompleted(EventRegistrationToken token) override;
    HRESULT add_ScriptDialogOpening(ICoreWebView2ScriptDialogOpeningEventHandler* handler,
                                    EventRegistrationToken* token) override;
    HRESULT remove_ScriptDialogOpening(EventRegistrationToken token) override;
    HRESULT add_PermissionRequested(ICoreWebView2PermissionRequestedEventHandler* handler,
                                    EventRegistrationToken* token) override;
    HRESULT remove_PermissionRequested(EventRegistrationToken token) override;
    HRESULT add_ProcessFailed(ICoreWebView2ProcessFailedEventHandler* handler,
                              EventRegistrationToken* token) override;
    HRESULT remove_ProcessFailed(EventRegistrationToken token) override;
    HRESULT add_WebMessageReceived(ICoreWebView2WebMessageReceivedEventHandler* handler,
                                   EventRegistrationToken* token) override;
    HRESULT remove_WebMessageReceived(EventRegistrationToken token) override;
    HRESULT add_NewWindowRequested(ICoreWebView2NewWindowRequestedEventHandler* handler,
                                   EventRegistrationToken* token) override;
    HRESULT remove_NewWindowRequested(EventRegistrationToken token) override;
    HRESULT add_DocumentTitleChanged(ICoreWebView2DocumentTitleChangedEventHandler* handler,
                                     EventRegistrationToken* token) override;
    HRESULT remove_DocumentTitleChanged(EventRegistrationToken token) override;
    HRESULT add_ContainsFullScreenElementChanged(
        ICoreWebView2ContainsFullScreenElementChangedEventHandler* handler,
        EventRegistrationToken* token) override;
    HRESULT remove_ContainsFullScreenElementChanged(EventRegistrationToken token) override;
    HRESULT add_WebResourceRequested(ICoreWebView2WebResourceRequestedEventHandler* handler,
                                     EventRegistrationToken* token) override;
    HRESULT remove_WebResourceRequested(EventRegistrationToken token) override;
    HRESULT add_WindowCloseRequested(ICoreWebView2WindowCloseRequestedEventHandler* handler,
                                     EventRegistrationToken* token) override;
    HRESULT remove_WindowCloseRequested(EventRegistrationToken token) override;
    HRESULT add_DOMContentLoaded(ICoreWebView2DOMContentLoadedEventHandler* handler,
                                 EventRegistrationToken* token) override;
    HRESULT remove_DOMContentLoaded(EventRegistrationToken token) override;
    HRESULT add_DownloadStarting(ICoreWebView2DownloadStartingEventHandler* handler,
                                 EventRegistrationToken* token) override;
    HRESULT remove_DownloadStarting(EventRegistrationToken token) override;
    HRESULT add_IsMutedChanged(ICoreWebView2IsMutedChangedEventHandler* handler,
                               EventRegistrationToken* token) override;
    HRESULT remove_IsMutedChanged(EventRegistrationToken token) override;
    HRESULT add_IsDocumentPlayingAudioChanged(
        ICoreWebView2IsDocumentPlayingAudioChangedEventHandler* handler,
        EventRegistrationToken* token) override;
    HRESULT remove_IsDocumentPlayingAudioChanged(EventRegistrationToken token) override;
    HRESULT
    add_BasicAuthenticationRequested(ICoreWebView2BasicAuthenticationRequestedEventHandler* handler,
                                     EventRegistrationToken* token) override;
    HRESULT remove_BasicAuthenticationRequested(EventRegistrationToken token) override;
    HRESULT add_StatusBarTextChanged(ICoreWebView2StatusBarTextChangedEventHandler* handler,
                                     EventRegistrationToken* token) override;
    HRESULT remove_StatusBarTextChanged(EventRegistrationToken token) override;

protected:
    CoreWebView2Events() = default;
    ~CoreWebView2Events() override = default;

    ViewEventHandlers m_events;
};
