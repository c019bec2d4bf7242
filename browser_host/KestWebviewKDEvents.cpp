#include "KestWebviewKD.h"

#include "HostValues.h"

#include "webview2_binding/cWebView2.h"

using namespace hostvalues;
using P = PersistedProperties;

// ---------------------------------------------------------------- browser events

void KestWebviewKD::connectBrowser() {
    cWebView2* wv = m_wv.get();
    connect(wv, &cWebView2::InitComplete, this, &KestWebviewKD::onInitComplete);
    connect(wv, &cWebView2::NavigationStarting, this,
            [this](bool user, bool redirected, const QString& uri, bool& cancel) {
                m_navigating = true;
                QList<Variant> a{Variant(user), Variant(redirected), text(uri), Variant(cancel)};
                raise("NavigationStarting", a);
                cancel = a[3].toBool();
                m_pendingAddress = cancel ? QString() : uri;
            });
    connect(wv, &cWebView2::AcceleratorKeyPressed, this,
            [this](int state, bool extended, bool wasDown, bool released, bool menu, int repeat,
                   int scan, bool& handled) {
                QList<Variant> a{longValue(state),
                                 longValue(extended ? -1 : 0),
                                 longValue(wasDown ? -1 : 0),
                                 longValue(released ? -1 : 0),
                                 longValue(menu ? -1 : 0),
                                 longValue(repeat),
                                 longValue(scan),
                                 longValue(handled ? -1 : 0)};
                raise("AcceleratorKeyPressed", a);
                handled = a[7].toLong() != 0;
            });
    connect(wv, &cWebView2::DocumentComplete, this, &KestWebviewKD::onDocumentComplete);
    connect(wv, &cWebView2::GotFocus, this,
            [this](int reason) { raise("BrowserGotFocus", {longValue(reason)}); });
    connect(wv, &cWebView2::LostFocus, this,
            [this](int reason) { raise("BrowserLostFocus", {longValue(reason)}); });
    connect(wv, &cWebView2::JSAsyncResult, this,
            [this](Variant& result, Currency token, const QString& error) {
                QList<Variant> a{result, Variant(token), text(error)};
                raise("JSAsyncResult", a);
                result = a[0];
            });
    connect(wv, &cWebView2::JSMessage, this,
            [this](const QString& msg, const QString& content, QString& json) {
                QList<Variant> a{text(msg), text(content), text(json)};
                raise("JSMessage", a);
                json = a[2].toString();
            });
    connect(wv, &cWebView2::NavigationCompleted, this, &KestWebviewKD::onNavigationCompleted);
    connectPageEvents();
    connectDownloads();
    connectStoreButton();
}

void KestWebviewKD::connectPageEvents() {
    cWebView2* wv = m_wv.get();
    connect(wv, &cWebView2::NewWindowRequested, this,
            [this](bool user, bool& handled, const QString& uri, Variant& features) {
                QList<Variant> a{longValue(user ? -1 : 0), longValue(handled ? -1 : 0), text(uri),
                                 text(cWebView2::JsonEncode(features))};
                raise("NewWindowRequested", a);
                handled = a[1].toLong() != 0;
                m_pendingAddress = handled ? uri : QString();
            });
    connect(wv, &cWebView2::ProcessFailed, this, [this] { raise("ProcessFailed"); });
    connect(wv, &cWebView2::SourceChanged, this, [this] {
        if (!m_navigating)
            m_timerSourceChange.start();
        raise("SourceChanged");
    });
    connect(wv, &cWebView2::UserContextMenu, this, [this](int x, int y) {
        raise("UserContextMenu", {longValue(x), longValue(y)});
    });
    connect(wv, &cWebView2::FrameCreated, this, [this](const QString& name) {
        QList<Variant> a{text(name)};
        raise("FrameCreated", a);
    });
    connect(wv, &cWebView2::ZoomFactorChanged, this, &KestWebviewKD::onZoomChanged);
    connect(wv, &cWebView2::WebResourceRequested, this, &KestWebviewKD::onResourceRequested);
    connect(wv, &cWebView2::PermissionRequested, this,
            [this](bool user, int& state, const QString& uri, int kind) {
                QList<Variant> a{Variant(user), longValue(kind), text(uri), longValue(state)};
                raise("PermissionRequested", a);
                state = a[3].toLong();
            });
    connect(wv, &cWebView2::StatusBarTextChanged, this,
            [this](const QString& value) { raise("StatusBarTextChanged", {text(value)}); });
    connect(wv, &cWebView2::DOMContentLoaded, this, [this] { raise("DOMContentLoaded"); });
    connect(wv, &cWebView2::HistoryChanged, this, [this] { raise("HistoryChanged"); });
    connect(wv, &cWebView2::ContentLoading, this,
            [this](bool errorPage) { raise("ContentLoading", {Variant(errorPage)}); });
}

void KestWebviewKD::raise(const char* name, QList<Variant>& args) {
    m_events.raise(QLatin1String(name), args);
}

void KestWebviewKD::raise(const char* name, std::initializer_list<Variant> args) {
    QList<Variant> list(args);
    raise(name, list);
}
