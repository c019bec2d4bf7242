#include "cWebView2.h"

#include "Collection.h"
#include "JsonCodec.h"
#include "cWebView2Private.h"

#include "platform/automation/AutomationError.h"

#include <utility>

using namespace bindingdetail;

void cWebView2::pvRegisterEvents() {
    d->general = makeCom<cWebView2Callback>(this, Currency{});
    pvRegisterNavigationEvents();
    pvRegisterPageEvents();
    pvRegisterDocumentEvents();
    pvRegisterControllerEvents();
    pvRegisterNewerEvents();
}

void cWebView2::pvRegisterNavigationEvents() {
    EventRegistrationToken token;
    cWebView2Callback& g = *d->general;
    using Core = ICoreWebView2;
    d->core->add_NavigationStarting(
        g.handler<ICoreWebView2NavigationStartingEventHandler>(
             [](cWebView2& o, Core*, ICoreWebView2NavigationStartingEventArgs* args) {
                 bool cancel = false, user = false, redirected = false;
                 QString uri;
                 args->get_Cancel(&cancel);
                 args->get_IsUserInitiated(&user);
                 args->get_IsRedirected(&redirected);
                 args->get_Uri(&uri);
                 emit o.NavigationStarting(user, redirected, uri, cancel);
                 return args->put_Cancel(cancel);
             })
            .get(),
        &token);
    d->core->add_NavigationCompleted(
        g.handler<ICoreWebView2NavigationCompletedEventHandler>(
             [](cWebView2& o, Core*, ICoreWebView2NavigationCompletedEventArgs* args) {
                 bool success = false;
                 COREWEBVIEW2_WEB_ERROR_STATUS status = COREWEBVIEW2_WEB_ERROR_STATUS_UNKNOWN;
                 args->get_IsSuccess(&success);
                 args->get_WebErrorStatus(&status);
                 o.d->navigationCompleted = true;
                 o.d->lastNavigationSuccess = success;
                 o.d->lastWebErrorStatus = status;
                 o.pvPostEvent(DeferredEvent::NavigationCompleted,
                               {Variant(success), Variant(std::int32_t(status))});
                 if (success)
                     o.pvPostEvent(DeferredEvent::DocumentComplete);
                 return hr::S_OK;
             })
            .get(),
        &token);
    d->core->add_SourceChanged(
        g.handler<ICoreWebView2SourceChangedEventHandler>([](cWebView2& o, Core*,
                                                             ICoreWebView2SourceChangedEventArgs*) {
             o.pvPostEvent(DeferredEvent::SourceChanged);
             return hr::S_OK;
         }).get(),
        &token);
    d->core->add_ProcessFailed(
        g.handler<ICoreWebView2ProcessFailedEventHandler>([](cWebView2& o, Core*,
                                                             ICoreWebView2ProcessFailedEventArgs*) {
             o.d->bridge.reset();
             o.pvPostEvent(DeferredEvent::ProcessFailed);
             return hr::S_OK;
         }).get(),
        &token);
    d->core->add_WebMessageReceived(
        g.handler<ICoreWebView2WebMessageReceivedEventHandler>(
             [](cWebView2& o, Core*, ICoreWebView2WebMessageReceivedEventArgs* args) {
                 QString text;
                 QString json;
                 args->get_WebMessageAsJson(&json);
                 if (hr::succeeded(args->TryGetWebMessageAsString(&text)))
                     o.pvPostEvent(DeferredEvent::JSMessage,
                                   {Variant(text), Variant(QString()), Variant()});
                 else
                     o.pvPostEvent(DeferredEvent::JSMessage,
                                   {Variant(QString()), Variant(json), Variant()});
                 return hr::S_OK;
             })
            .get(),
        &token);
}

void cWebView2::pvRegisterPageEvents() {
    EventRegistrationToken token;
    cWebView2Callback& g = *d->general;
    using Core = ICoreWebView2;
    d->core->add_ScriptDialogOpening(
        g.handler<ICoreWebView2ScriptDialogOpeningEventHandler>(
             [](cWebView2& o, Core*, ICoreWebView2ScriptDialogOpeningEventArgs* args) {
                 COREWEBVIEW2_SCRIPT_DIALOG_KIND kind = COREWEBVIEW2_SCRIPT_DIALOG_KIND_ALERT;
                 QString uri, message, defaultText, resultText;
                 bool accept = false;
                 args->get_Kind(&kind);
                 args->get_Uri(&uri);
                 args->get_Message(&message);
                 args->get_DefaultText(&defaultText);
                 emit o.ScriptDialogOpening(kind, accept, resultText, uri, message, defaultText);
                 if (!accept)
                     return hr::S_OK;
                 args->put_ResultText(resultText);
                 return args->Accept();
             })
            .get(),
        &token);
    d->core->add_PermissionRequested(
        g.handler<ICoreWebView2PermissionRequestedEventHandler>(
             [](cWebView2& o, Core*, ICoreWebView2PermissionRequestedEventArgs* args) {
                 COREWEBVIEW2_PERMISSION_STATE state = COREWEBVIEW2_PERMISSION_STATE_DEFAULT;
                 COREWEBVIEW2_PERMISSION_KIND kind =
                     COREWEBVIEW2_PERMISSION_KIND_UNKNOWN_PERMISSION;
                 bool user = false;
                 QString uri;
                 args->get_State(&state);
                 args->get_IsUserInitiated(&user);
                 args->get_Uri(&uri);
                 args->get_PermissionKind(&kind);
                 int reportedKind = kind >= 0 && kind <= 6 ? int(kind) : 0;
                 int newState = state;
                 emit o.PermissionRequested(user, newState, uri, reportedKind);
                 return args->put_State(static_cast<COREWEBVIEW2_PERMISSION_STATE>(newState));
             })
            .get(),
        &token);
    d->core->add_NewWindowRequested(
        g.handler<ICoreWebView2NewWindowRequestedEventHandler>(
             [](cWebView2& o, Core*, ICoreWebView2NewWindowRequestedEventArgs* args) {
                 bool handled = false, user = false;
                 QString uri;
                 Variant features = o.pvWindowFeatures(args);
                 args->get_Handled(&handled);
                 args->get_IsUserInitiated(&user);
                 args->get_Uri(&uri);
                 emit o.NewWindowRequested(user, handled, uri, features);
                 return args->put_Handled(handled);
             })
            .get(),
        &token);
    d->core->add_WebResourceRequested(
        g.handler<ICoreWebView2WebResourceRequestedEventHandler>(
             [](cWebView2& o, Core*, ICoreWebView2WebResourceRequestedEventArgs* args) {
                 return o.SinkWebResourceRequested(args);
             })
            .get(),
        &token);
}

void cWebView2::pvRegisterDocumentEvents() {
    EventRegistrationToken token;
    cWebView2Callback& g = *d->general;
    using Core = ICoreWebView2;
    d->core->add_DocumentTitleChanged(
        g.handler<ICoreWebView2DocumentTitleChangedEventHandler>([](cWebView2& o, Core*,
                                                                    IUnknown*) {
             o.pvPostEvent(DeferredEvent::TitleChanged, {Variant(o.DocumentTitle())});
             return hr::S_OK;
         }).get(),
        &token);
    d->core->add_ContentLoading(
        g.handler<ICoreWebView2ContentLoadingEventHandler>(
             [](cWebView2& o, Core*, ICoreWebView2ContentLoadingEventArgs* args) {
                 bool errorPage = false;
                 args->get_IsErrorPage(&errorPage);
                 o.d->bridge.reset();
                 o.pvPostEvent(DeferredEvent::ContentLoading, {Variant(errorPage)});
                 return hr::S_OK;
             })
            .get(),
        &token);
    d->core->add_HistoryChanged(
        g.handler<ICoreWebView2HistoryChangedEventHandler>([](cWebView2& o, Core*, IUnknown*) {
             o.pvPostEvent(DeferredEvent::HistoryChanged);
             return hr::S_OK;
         }).get(),
        &token);
    d->core->add_WindowCloseRequested(
        g.handler<ICoreWebView2WindowCloseRequestedEventHandler>([](cWebView2& o, Core*,
                                                                    IUnknown*) {
             o.pvPostEvent(DeferredEvent::WindowCloseRequested);
             return hr::S_OK;
         }).get(),
        &token);
    d->core->add_ContainsFullScreenElementChanged(
        g.handler<ICoreWebView2ContainsFullScreenElementChangedEventHandler>([](cWebView2& o, Core*,
                                                                                IUnknown*) {
             o.pvPostEvent(DeferredEvent::ContainsFullScreenElementChanged);
             return hr::S_OK;
         }).get(),
        &token);
}

void cWebView2::pvRegisterControllerEvents() {
    EventRegistrationToken token;
    cWebView2Callback& g = *d->general;
    using Controller = ICoreWebView2Controller;
    d->controller->add_AcceleratorKeyPressed(
        g.handler<ICoreWebView2AcceleratorKeyPressedEventHandler>(
             [](cWebView2& o, Controller*, ICoreWebView2AcceleratorKeyPressedEventArgs* args) {
                 COREWEBVIEW2_KEY_EVENT_KIND kind = COREWEBVIEW2_KEY_EVENT_KIND_KEY_DOWN;
                 std::int32_t lParam = 0;
                 bool handled = false;
                 args->get_KeyEventKind(&kind);
                 args->get_KeyEventLParam(&lParam);
                 args->get_Handled(&handled);
                 const auto bits = static_cast<std::uint32_t>(lParam);
                 emit o.AcceleratorKeyPressed(kind, bits >> 24 & 1, bits >> 30 & 1, bits >> 31 & 1,
                                              bits >> 29 & 1, int(bits & 0xFFFF),
                                              int(bits >> 16 & 0xFF), handled);
                 return args->put_Handled(handled);
             })
            .get(),
        &token);
    d->controller->add_ZoomFactorChanged(
        g.handler<ICoreWebView2ZoomFactorChangedEventHandler>([](cWebView2& o, Controller*,
                                                                 IUnknown*) {
             o.pvPostEvent(DeferredEvent::ZoomFactorChanged);
             return hr::S_OK;
         }).get(),
        &token);
    d->controller->add_MoveFocusRequested(
        g.handler<ICoreWebView2MoveFocusRequestedEventHandler>(
             [](cWebView2& o, Controller*, ICoreWebView2MoveFocusRequestedEventArgs* args) {
                 COREWEBVIEW2_MOVE_FOCUS_REASON reason =
                     COREWEBVIEW2_MOVE_FOCUS_REASON_PROGRAMMATIC;
                 bool handled = false;
                 args->get_Reason(&reason);
                 args->get_Handled(&handled);
                 emit o.MoveFocusRequested(reason, handled);
                 return args->put_Handled(handled);
             })
            .get(),
        &token);
    d->gotFocus = makeCom<cWebView2Callback>(this, Currency{FocusGotToken * 10000});
    d->lostFocus = makeCom<cWebView2Callback>(this, Currency{FocusLostToken * 10000});
    const auto focusHandler = [](cWebView2Callback& callback) {
        const Currency which = callback.token();
        return callback.handler<ICoreWebView2FocusChangedEventHandler>(
            [which](cWebView2& o, Controller*, IUnknown*) {
                if (which.scaled == FocusGotToken * 10000) {
                    o.pvPostEvent(DeferredEvent::GotFocus,
                                  {Variant(std::int32_t(o.d->focusReason))});
                    o.d->focusReason = 0;
                } else {
                    o.pvPostEvent(DeferredEvent::LostFocus, {Variant(std::int32_t(0))});
                }
                return hr::S_OK;
            });
    };
    d->controller->add_GotFocus(focusHandler(*d->gotFocus).get(), &token);
    d->controller->add_LostFocus(focusHandler(*d->lostFocus).get(), &token);
}

void cWebView2::pvRegisterNewerEvents() {
    EventRegistrationToken token;
    cWebView2Callback& g = *d->general;
    using Core = ICoreWebView2;
    if (d->core2) {
        d->core2->add_DOMContentLoaded(
            g.handler<ICoreWebView2DOMContentLoadedEventHandler>(
                 [](cWebView2& o, Core*, ICoreWebView2DOMContentLoadedEventArgs*) {
                     o.pvPostEvent(DeferredEvent::DOMContentLoaded);
                     return hr::S_OK;
                 })
                .get(),
            &token);
    }
    if (d->core4) {
        d->core4->add_DownloadStarting(
            g.handler<ICoreWebView2DownloadStartingEventHandler>(
                 [](cWebView2& o, Core*, ICoreWebView2DownloadStartingEventArgs* args) {
                     return o.SinkDownloadStarting(args);
                 })
                .get(),
            &token);
    }
    if (d->core10) {
        d->core10->add_BasicAuthenticationRequested(
            g.handler<ICoreWebView2BasicAuthenticationRequestedEventHandler>(
                 [](cWebView2& o, Core*, ICoreWebView2BasicAuthenticationRequestedEventArgs* args) {
                     return o.SinkBasicAuthenticationRequested(args);
                 })
                .get(),
            &token);
    }
    if (d->core12) {
        d->core12->add_StatusBarTextChanged(
            g.handler<ICoreWebView2StatusBarTextChangedEventHandler>([](cWebView2& o, Core*,
                                                                        IUnknown*) {
                 o.pvPostEvent(DeferredEvent::StatusBarTextChanged, {Variant(o.StatusBarText())});
                 return hr::S_OK;
             }).get(),
            &token);
    }
}

Variant cWebView2::pvWindowFeatures(ICoreWebView2NewWindowRequestedEventArgs* args) {
    auto features = Collection::create();
    ComPtr<ICoreWebView2WindowFeatures> window;
    if (hr::failed(args->get_WindowFeatures(window.put())) || !window)
        return collectionVariant(features);
    bool flag = false;
    std::uint32_t number = 0;
    const auto addFlag = [&](const char* key, HRESULT (ICoreWebView2WindowFeatures::*get)(bool*)) {
        flag = false;
        (window.get()->*get)(&flag);
        features->add(Variant(flag), QString::fromLatin1(key));
    };
    const auto addNumber = [&](const char* key,
                               HRESULT (ICoreWebView2WindowFeatures::*get)(std::uint32_t*)) {
        number = 0;
        (window.get()->*get)(&number);
        features->add(Variant(std::int32_t(number)), QString::fromLatin1(key));
    };
    addFlag("HasPosition", &ICoreWebView2WindowFeatures::get_HasPosition);
    addFlag("HasSize", &ICoreWebView2WindowFeatures::get_HasSize);
    addNumber("Left", &ICoreWebView2WindowFeatures::get_Left);
    addNumber("Top", &ICoreWebView2WindowFeatures::get_Top);
    addNumber("Width", &ICoreWebView2WindowFeatures::get_Width);
    addNumber("Height", &ICoreWebView2WindowFeatures::get_Height);
    addFlag("ShouldDisplayMenuBar", &ICoreWebView2WindowFeatures::get_ShouldDisplayMenuBar);
    addFlag("ShouldDisplayStatus", &ICoreWebView2WindowFeatures::get_ShouldDisplayStatus);
    addFlag("ShouldDisplayToolbar", &ICoreWebView2WindowFeatures::get_ShouldDisplayToolbar);
    addFlag("ShouldDisplayScrollBars", &ICoreWebView2WindowFeatures::get_ShouldDisplayScrollBars);
    return collectionVariant(features);
}

HRESULT cWebView2::SinkWebResourceRequested(ICoreWebView2WebResourceRequestedEventArgs* args) {
    ComPtr<ICoreWebView2WebResourceRequest> request;
    HRESULT result = args->get_Request(request.put());
    if (hr::failed(result))
        return result;
    QString uri;
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT context = COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL;
    request->get_Uri(&uri);
    args->get_ResourceContext(&context);
    int permit = 0;
    emit WebResourceRequested(uri, context, permit);
    if (permit != 2 || !d->environment)
        return hr::S_OK;
    ComPtr<ICoreWebView2WebResourceResponse> response;
    result = d->environment->CreateWebResourceResponse({}, 403, QStringLiteral("Forbidden"), {},
                                                       response.put());
    if (hr::failed(result)) {
        pvReport(QStringLiteral("SinkWebResourceRequested"),
                 QStringLiteral("Error &H%1").arg(hexOf(result)));
        return hr::S_OK;
    }
    return args->put_Response(response.get());
}

HRESULT cWebView2::SinkDownloadStarting(ICoreWebView2DownloadStartingEventArgs* args) {
    ComPtr<ICoreWebView2DownloadOperation> operation;
    HRESULT result = args->get_DownloadOperation(operation.put());
    if (hr::failed(result))
        return result;
    QString path, uri, mimeType, newPath;
    bool handled = false, cancel = false;
    args->get_ResultFilePath(&path);
    args->get_Handled(&handled);
    args->get_Cancel(&cancel);
    operation->get_Uri(&uri);
    operation->get_MimeType(&mimeType);
    const QString file = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    emit DownloadStarting(uri, mimeType, path, file, handled, cancel, newPath);
    args->put_Handled(handled);
    args->put_Cancel(cancel);
    if (!newPath.isEmpty())
        args->put_ResultFilePath(newPath);
    return hr::S_OK;
}

HRESULT cWebView2::SinkBasicAuthenticationRequested(
    ICoreWebView2BasicAuthenticationRequestedEventArgs* args) {
    QString uri, challenge, user, password;
    bool cancel = false;
    args->get_Cancel(&cancel);
    args->get_Uri(&uri);
    args->get_Challenge(&challenge);
    emit BasicAuthenticationRequested(uri, challenge, user, password, cancel);
    args->put_Cancel(cancel);
    if (user.isEmpty() && password.isEmpty())
        return hr::S_OK;
    ComPtr<ICoreWebView2BasicAuthenticationResponse> response;
    const HRESULT result = args->get_Response(response.put());
    if (hr::failed(result))
        return result;
    response->put_UserName(user);
    return response->put_Password(password);
}

// ---------------------------------------------------------------- completions and events

void cWebView2::OnExecuteScriptCompleted(HRESULT result, const QString& resultText,
                                         Currency token) {
    if (token.scaled == 0)
        return;
    try {
        if (d->pending.remove(tokenKey(token, 'A'))) {
            Variant value;
            QString error;
            if (hr::failed(result)) {
                error = QStringLiteral("Error &H%1 executing script").arg(hexOf(result));
                d->lastError = error;
            } else {
                value = json::parse(resultText);
            }
            pvPostEvent(DeferredEvent::JSAsyncResult, {value, Variant(token), Variant(error)});
            return;
        }
        pvStoreCompletion(token, {result, Variant(resultText), {}});
    } catch (const AutomationError& error) {
        pvReport(QStringLiteral("OnExecuteScriptCompleted"), error.description());
    }
}

void cWebView2::pvStoreCompletion(Currency token, Record record) {
    if (d->pending.remove(tokenKey(token, 'P')))
        d->pending.insert(tokenKey(token, 'T'), std::move(record));
}

void cWebView2::RaiseResultEvent(const Variant& result, const Variant& token,
                                 const QString& errorText) {
    try {
        const Currency callToken = token.toCurrency();
        if (d->pending.remove(tokenKey(callToken, 'P'))) {
            d->pending.insert(tokenKey(callToken, 'T'), {0, result, errorText});
            return;
        }
        pvPostEvent(DeferredEvent::JSAsyncResult, {result, Variant(callToken), Variant(errorText)});
    } catch (const AutomationError& error) {
        pvReport(QStringLiteral("RaiseResultEvent"), error.description());
    }
}

void cWebView2::RaiseMessageEvent(const QString& message, const QString& content) {
    pvPostEvent(DeferredEvent::JSMessage, {Variant(message), Variant(content), Variant()});
}

void cWebView2::RaiseContextMenuEvent(int screenX, int screenY) {
    pvPostEvent(DeferredEvent::UserContextMenu,
                {Variant(std::int32_t(screenX)), Variant(std::int32_t(screenY))});
}

void cWebView2::SetFuncObj(const Variant& bridge) {
    d->bridge = bridge.isObject() ? bridge.toObject() : nullptr;
}

void cWebView2::pvPostEvent(DeferredEvent event, QList<Variant> args) {
    d->queue.append({event, std::move(args)});
    if (!d->fireOnce.isActive())
        d->fireOnce.start();
}

void cWebView2::TimerProc() {
    const QList<EventRecord> records = std::exchange(d->queue, {});
    for (const EventRecord& record : records) {
        if (d->shuttingDown)
            return;
        try {
            pvRaiseDeferred(record);
        } catch (const AutomationError& error) {
            pvReport(QStringLiteral("TimerProc"), error.description());
        }
    }
}

void cWebView2::pvRaiseDeferred(const EventRecord& record) {
    const QList<Variant>& a = record.args;
    switch (record.event) {
    case DeferredEvent::InitComplete:
        emit InitComplete();
        break;
    case DeferredEvent::DocumentComplete:
        emit DocumentComplete();
        break;
    case DeferredEvent::NavigationCompleted:
        emit NavigationCompleted(a[0].toBool(), a[1].toLong());
        break;
    case DeferredEvent::SourceChanged:
        emit SourceChanged();
        break;
    case DeferredEvent::ProcessFailed:
        emit ProcessFailed();
        break;
    case DeferredEvent::JSMessage: {
        // Only an object in the third slot is passed on, as its JSON text.
        QString jsonContent = a[2].isObject() ? json::encode(a[2]) : QStringLiteral("null");
        emit JSMessage(a[0].toString(), a[1].toString(), jsonContent);
        break;
    }
    case DeferredEvent::JSAsyncResult: {
        Variant result = a[0];
        emit JSAsyncResult(result, a[1].toCurrency(), a[2].toString());
        break;
    }
    case DeferredEvent::UserContextMenu:
        emit UserContextMenu(a[0].toLong(), a[1].toLong());
        break;
    case DeferredEvent::GotFocus:
        emit GotFocus(a[0].toLong());
        break;
    case DeferredEvent::LostFocus:
        emit LostFocus(a[0].toLong());
        break;
    case DeferredEvent::FrameCreated:
        emit FrameCreated(a[0].toString());
        break;
    case DeferredEvent::TitleChanged:
        emit TitleChanged(a[0].toString());
        break;
    case DeferredEvent::ContentLoading:
        emit ContentLoading(a[0].toBool());
        break;
    case DeferredEvent::HistoryChanged:
        emit HistoryChanged();
        break;
    case DeferredEvent::WindowCloseRequested:
        emit WindowCloseRequested();
        break;
    case DeferredEvent::ZoomFactorChanged:
        emit ZoomFactorChanged();
        break;
    case DeferredEvent::DOMContentLoaded:
        emit DOMContentLoaded();
        break;
    case DeferredEvent::StatusBarTextChanged:
        emit StatusBarTextChanged(a[0].toString());
        break;
    case DeferredEvent::ContainsFullScreenElementChanged:
        emit ContainsFullScreenElementChanged();
        break;
    }
}
