#pragma once

#include "WebView2.h"

// The argument objects of the runtime's events: plain values captured when
// the event is raised, plus the answers a handler writes back (Cancel,
// Handled, State...), which the raiser reads after the handlers have run.

namespace eventargs {

template <typename T> HRESULT out(T* target, const T& value) {
    if (!target)
        return hr::E_POINTER;
    *target = value;
    return hr::S_OK;
}

template <typename T, typename U> HRESULT outCom(T** target, const ComPtr<U>& value) {
    if (!target)
        return hr::E_POINTER;
    ComPtr<T>(value).copyTo(target);
    return hr::S_OK;
}

} // namespace eventargs

class NavigationStartingArgs : public ComObject<ICoreWebView2NavigationStartingEventArgs> {
public:
    QString uri;
    bool isUserInitiated = false;
    bool isRedirected = false;
    bool cancel = false;
    std::uint64_t navigationId = 0;

    HRESULT get_Uri(QString* v) override { return eventargs::out(v, uri); }
    HRESULT get_IsUserInitiated(bool* v) override { return eventargs::out(v, isUserInitiated); }
    HRESULT get_IsRedirected(bool* v) override { return eventargs::out(v, isRedirected); }
    HRESULT get_Cancel(bool* v) override { return eventargs::out(v, cancel); }
    HRESULT put_Cancel(bool v) override { return cancel = v, hr::S_OK; }
    HRESULT get_NavigationId(std::uint64_t* v) override { return eventargs::out(v, navigationId); }
};

class ContentLoadingArgs : public ComObject<ICoreWebView2ContentLoadingEventArgs> {
public:
    bool isErrorPage = false;
    std::uint64_t navigationId = 0;

    HRESULT get_IsErrorPage(bool* v) override { return eventargs::out(v, isErrorPage); }
    HRESULT get_NavigationId(std::uint64_t* v) override { return eventargs::out(v, navigationId); }
};

class SourceChangedArgs : public ComObject<ICoreWebView2SourceChangedEventArgs> {
public:
    bool isNewDocument = false;

    HRESULT get_IsNewDocument(bool* v) override { return eventargs::out(v, isNewDocument); }
};

class NavigationCompletedArgs : public ComObject<ICoreWebView2NavigationCompletedEventArgs> {
public:
    bool isSuccess = false;
    COREWEBVIEW2_WEB_ERROR_STATUS status = COREWEBVIEW2_WEB_ERROR_STATUS_UNKNOWN;
    std::uint64_t navigationId = 0;

    HRESULT get_IsSuccess(bool* v) override { return eventargs::out(v, isSuccess); }
    HRESULT get_WebErrorStatus(COREWEBVIEW2_WEB_ERROR_STATUS* v) override {
        return eventargs::out(v, status);
    }
    HRESULT get_NavigationId(std::uint64_t* v) override { return eventargs::out(v, navigationId); }
};

class DOMContentLoadedArgs : public ComObject<ICoreWebView2DOMContentLoadedEventArgs> {
public:
    std::uint64_t navigationId = 0;

    HRESULT get_NavigationId(std::uint64_t* v) override { return eventargs::out(v, navigationId); }
};

class ScriptDialogOpeningArgs : public ComObject<ICoreWebView2ScriptDialogOpeningEventArgs> {
public:
    QString uri;
    COREWEBVIEW2_SCRIPT_DIALOG_KIND kind = COREWEBVIEW2_SCRIPT_DIALOG_KIND_ALERT;
    QString message;
    QString defaultText;
    QString resultText;
    bool accepted = false;

    HRESULT get_Uri(QString* v) override { return eventargs::out(v, uri); }
    HRESULT get_Kind(COREWEBVIEW2_SCRIPT_DIALOG_KIND* v) override {
        return eventargs::out(v, kind);
    }
    HRESULT get_Message(QString* v) override { return eventargs::out(v, message); }
    HRESULT Accept() override { return accepted = true, hr::S_OK; }
    HRESULT get_DefaultText(QString* v) override { return eventargs::out(v, defaultText); }
    HRESULT get_ResultText(QString* v) override { return eventargs::out(v, resultText); }
    HRESULT put_ResultText(const QString& v) override { return resultText = v, hr::S_OK; }
};

class PermissionRequestedArgs : public ComObject<ICoreWebView2PermissionRequestedEventArgs> {
public:
    QString uri;
    COREWEBVIEW2_PERMISSION_KIND kind = COREWEBVIEW2_PERMISSION_KIND_UNKNOWN_PERMISSION;
    COREWEBVIEW2_PERMISSION_STATE state = COREWEBVIEW2_PERMISSION_STATE_DEFAULT;

    HRESULT get_Uri(QString* v) override { return eventargs::out(v, uri); }
    HRESULT get_PermissionKind(COREWEBVIEW2_PERMISSION_KIND* v) override {
        return eventargs::out(v, kind);
    }
    // Qt WebEngine does not tell whether a user gesture led to the request.
    HRESULT get_IsUserInitiated(bool* v) override { return eventargs::out(v, false); }
    HRESULT get_State(COREWEBVIEW2_PERMISSION_STATE* v) override {
        return eventargs::out(v, state);
    }
    HRESULT put_State(COREWEBVIEW2_PERMISSION_STATE v) override {
        if (v < COREWEBVIEW2_PERMISSION_STATE_DEFAULT || v > COREWEBVIEW2_PERMISSION_STATE_DENY)
            return hr::E_INVALIDARG;
        return state = v, hr::S_OK;
    }
};

class ProcessFailedArgs : public ComObject<ICoreWebView2ProcessFailedEventArgs> {
public:
    COREWEBVIEW2_PROCESS_FAILED_KIND kind = COREWEBVIEW2_PROCESS_FAILED_KIND_RENDER_PROCESS_EXITED;

    HRESULT get_ProcessFailedKind(COREWEBVIEW2_PROCESS_FAILED_KIND* v) override {
        return eventargs::out(v, kind);
    }
};

class WebMessageReceivedArgs : public ComObject<ICoreWebView2WebMessageReceivedEventArgs> {
public:
    QString source;
    QString json;
    bool isString = false;

    HRESULT get_Source(QString* v) override { return eventargs::out(v, source); }
    HRESULT get_WebMessageAsJson(QString* v) override { return eventargs::out(v, json); }
    HRESULT TryGetWebMessageAsString(QString* v) override;
};

class WindowFeatures : public ComObject<ICoreWebView2WindowFeatures> {
public:
    bool hasPosition = false;
    bool hasSize = false;
    std::uint32_t left = 0;
    std::uint32_t top = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;

    HRESULT get_HasPosition(bool* v) override { return eventargs::out(v, hasPosition); }
    HRESULT get_HasSize(bool* v) override { return eventargs::out(v, hasSize); }
    HRESULT get_Left(std::uint32_t* v) override { return eventargs::out(v, left); }
    HRESULT get_Top(std::uint32_t* v) override { return eventargs::out(v, top); }
    HRESULT get_Height(std::uint32_t* v) override { return eventargs::out(v, height); }
    HRESULT get_Width(std::uint32_t* v) override { return eventargs::out(v, width); }
    HRESULT get_ShouldDisplayMenuBar(bool* v) override { return eventargs::out(v, true); }
    HRESULT get_ShouldDisplayStatus(bool* v) override { return eventargs::out(v, true); }
    HRESULT get_ShouldDisplayToolbar(bool* v) override { return eventargs::out(v, true); }
    HRESULT get_ShouldDisplayScrollBars(bool* v) override { return eventargs::out(v, true); }
};

class NewWindowRequestedArgs : public ComObject<ICoreWebView2NewWindowRequestedEventArgs> {
public:
    QString uri;
    bool handled = false;
    bool isUserInitiated = false;
    ComPtr<WindowFeatures> features = makeCom<WindowFeatures>();

    HRESULT get_Uri(QString* v) override { return eventargs::out(v, uri); }
    HRESULT put_Handled(bool v) override { return handled = v, hr::S_OK; }
    HRESULT get_Handled(bool* v) override { return eventargs::out(v, handled); }
    HRESULT get_IsUserInitiated(bool* v) override { return eventargs::out(v, isUserInitiated); }
    HRESULT get_WindowFeatures(ICoreWebView2WindowFeatures** v) override {
        return eventargs::outCom(v, features);
    }
};

class WebResourceRequest : public ComObject<ICoreWebView2WebResourceRequest> {
public:
    QString uri;
    QString method;

    HRESULT get_Uri(QString* v) override { return eventargs::out(v, uri); }
    HRESULT get_Method(QString* v) override { return eventargs::out(v, method); }
};

class WebResourceResponse : public ComObject<ICoreWebView2WebResourceResponse> {
public:
    QByteArray content;
    int statusCode = 200;
    QString reasonPhrase;

    HRESULT get_StatusCode(int* v) override { return eventargs::out(v, statusCode); }
    HRESULT get_ReasonPhrase(QString* v) override { return eventargs::out(v, reasonPhrase); }
    HRESULT get_Content(QByteArray* v) override { return eventargs::out(v, content); }
};

class WebResourceRequestedArgs : public ComObject<ICoreWebView2WebResourceRequestedEventArgs> {
public:
    ComPtr<WebResourceRequest> request = makeCom<WebResourceRequest>();
    ComPtr<ICoreWebView2WebResourceResponse> response;
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT context = COREWEBVIEW2_WEB_RESOURCE_CONTEXT_OTHER;

    HRESULT get_Request(ICoreWebView2WebResourceRequest** v) override {
        return eventargs::outCom(v, request);
    }
    HRESULT get_Response(ICoreWebView2WebResourceResponse** v) override {
        return eventargs::outCom(v, response);
    }
    HRESULT put_Response(ICoreWebView2WebResourceResponse* v) override {
        return response = v, hr::S_OK;
    }
    HRESULT get_ResourceContext(COREWEBVIEW2_WEB_RESOURCE_CONTEXT* v) override {
        return eventargs::out(v, context);
    }
};

class BasicAuthenticationResponse : public ComObject<ICoreWebView2BasicAuthenticationResponse> {
public:
    QString userName;
    QString password;

    HRESULT get_UserName(QString* v) override { return eventargs::out(v, userName); }
    HRESULT put_UserName(const QString& v) override { return userName = v, hr::S_OK; }
    HRESULT get_Password(QString* v) override { return eventargs::out(v, password); }
    HRESULT put_Password(const QString& v) override { return password = v, hr::S_OK; }
};

class BasicAuthenticationRequestedArgs
    : public ComObject<ICoreWebView2BasicAuthenticationRequestedEventArgs> {
public:
    QString uri;
    QString challenge;
    ComPtr<BasicAuthenticationResponse> response = makeCom<BasicAuthenticationResponse>();
    bool cancel = false;

    HRESULT get_Uri(QString* v) override { return eventargs::out(v, uri); }
    HRESULT get_Challenge(QString* v) override { return eventargs::out(v, challenge); }
    HRESULT get_Response(ICoreWebView2BasicAuthenticationResponse** v) override {
        return eventargs::outCom(v, response);
    }
    HRESULT get_Cancel(bool* v) override { return eventargs::out(v, cancel); }
    HRESULT put_Cancel(bool v) override { return cancel = v, hr::S_OK; }
};

class MoveFocusRequestedArgs : public ComObject<ICoreWebView2MoveFocusRequestedEventArgs> {
public:
    COREWEBVIEW2_MOVE_FOCUS_REASON reason = COREWEBVIEW2_MOVE_FOCUS_REASON_NEXT;
    bool handled = false;

    HRESULT get_Reason(COREWEBVIEW2_MOVE_FOCUS_REASON* v) override {
        return eventargs::out(v, reason);
    }
    HRESULT get_Handled(bool* v) override { return eventargs::out(v, handled); }
    HRESULT put_Handled(bool v) override { return handled = v, hr::S_OK; }
};

class AcceleratorKeyPressedArgs : public ComObject<ICoreWebView2AcceleratorKeyPressedEventArgs> {
public:
    COREWEBVIEW2_KEY_EVENT_KIND kind = COREWEBVIEW2_KEY_EVENT_KIND_KEY_DOWN;
    std::uint32_t virtualKey = 0;
    COREWEBVIEW2_PHYSICAL_KEY_STATUS status;
    bool handled = false;

    HRESULT get_KeyEventKind(COREWEBVIEW2_KEY_EVENT_KIND* v) override {
        return eventargs::out(v, kind);
    }
    HRESULT get_VirtualKey(std::uint32_t* v) override { return eventargs::out(v, virtualKey); }
    HRESULT get_KeyEventLParam(std::int32_t* v) override;
    HRESULT get_PhysicalKeyStatus(COREWEBVIEW2_PHYSICAL_KEY_STATUS* v) override {
        return eventargs::out(v, status);
    }
    HRESULT get_Handled(bool* v) override { return eventargs::out(v, handled); }
    HRESULT put_Handled(bool v) override { return handled = v, hr::S_OK; }
};
