#pragma once

#include "Collection.h"
#include "cWebView2.h"
#include "cWebView2Callback.h"
#include "cWebView2Events.h"

#include "platform/webview2/WebView2.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

// Helpers the binding's parts share.
namespace bindingdetail {

// The tokens of the two focus handlers, which live as long as the browser.
constexpr int FocusGotToken = 1;
constexpr int FocusLostToken = 2;

inline QString tokenKey(Currency token, char suffix) {
    return QString::number(token.scaled / 10000) + QLatin1Char(suffix);
}

inline QString hexOf(std::int64_t value) {
    return QString::number(static_cast<std::uint32_t>(value), 16).toUpper();
}

inline Variant collectionVariant(const std::shared_ptr<Collection>& collection) {
    return Variant(std::static_pointer_cast<Dispatch>(collection));
}

} // namespace bindingdetail

// What the binding holds for one browser: the runtime's interfaces, the
// handlers that live as long as the browser, the completions awaited by
// token, and the queue of events raised outside the runtime's callbacks.
struct cWebView2::Record {
    HRESULT result = 0;
    Variant value;
    QString error;
};
struct cWebView2::EventRecord {
    DeferredEvent event = DeferredEvent::InitComplete;
    QList<Variant> args;
};

struct cWebView2::PrintOptions {
    bool landscape;
    double scaleFactor, pageWidth, pageHeight;
    double marginTop, marginBottom, marginLeft, marginRight;
    bool backgrounds, selectionOnly, headerAndFooter;
    QString headerTitle, footerUri;
};

struct cWebView2::Private {
    QPointer<QWidget> hostWindow;
    ComPtr<ICoreWebView2Environment> environment;
    ComPtr<ICoreWebView2Controller> controller;
    ComPtr<ICoreWebView2> core;
    ComPtr<ICoreWebView2_2> core2;
    ComPtr<ICoreWebView2_3> core3;
    ComPtr<ICoreWebView2_4> core4;
    ComPtr<ICoreWebView2_7> core7;
    ComPtr<ICoreWebView2_8> core8;
    ComPtr<ICoreWebView2_10> core10;
    ComPtr<ICoreWebView2_12> core12;
    ComPtr<ICoreWebView2_13> core13;
    ComPtr<ICoreWebView2_16> core16;
    ComPtr<ICoreWebView2Settings> settings;
    ComPtr<ICoreWebView2Settings2> settings2;
    ComPtr<ICoreWebView2Settings3> settings3;
    ComPtr<cWebView2Callback> general;
    ComPtr<cWebView2Callback> gotFocus;
    ComPtr<cWebView2Callback> lostFocus;
    // Per-call callbacks awaiting their completion; the three above live as long as the browser.
    QList<ComPtr<cWebView2Callback>> attached;

    bool initDone = false;
    HRESULT initResult = 0;
    bool navigationCompleted = false;
    bool lastNavigationSuccess = false;
    int lastWebErrorStatus = 0;
    bool shuttingDown = false;
    double timeoutSeconds = 8;
    std::int64_t tokenCounter = 0;
    QHash<QString, Record> pending;
    QString lastError;
    DispatchPtr bridge;
    QTimer fireOnce;
    QList<EventRecord> queue;
    int focusReason = 0;
    bool trackingPreventionAsked = false;
    bool browserExtensionsAsked = false;

    // A completion handler whose Boolean answer is recorded as the script
    // result "true" or "false" of the call with this token, as the waits read it.
    template <typename Handler>
    static ComPtr<Handler> booleanCompletion(cWebView2Callback& callback, Currency token) {
        return callback.completion<Handler>([token](cWebView2& o, HRESULT result, bool success) {
            o.OnExecuteScriptCompleted(
                result, success ? QStringLiteral("true") : QStringLiteral("false"), token);
            return hr::S_OK;
        });
    }
};
