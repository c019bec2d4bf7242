#include "cWebView2.h"

#include "RuntimeLoader.h"
#include "cWebView2Private.h"

#include "platform/automation/AutomationError.h"
#include "support/modWait.h"

#include <QDir>
#include <QFileInfo>
#include <QWidget>

using namespace bindingdetail;

namespace {

cWebView2::DiagnosticHook& diagnosticHook() {
    static cWebView2::DiagnosticHook hook;
    return hook;
}

} // namespace

cWebView2::cWebView2(QObject* parent)
    : QObject(parent)
    , d(std::make_unique<Private>()) {
    d->fireOnce.setSingleShot(true);
    d->fireOnce.setInterval(0);
    connect(&d->fireOnce, &QTimer::timeout, this, &cWebView2::TimerProc);
}

cWebView2::~cWebView2() {
    Shutdown();
}

void cWebView2::setDiagnosticHook(DiagnosticHook hook) {
    diagnosticHook() = std::move(hook);
}

void cWebView2::setLibraryFolder(const QString& folder) {
    runtimeloader::libraryFolderOverride() = folder;
}

QString cWebView2::findLoader(const QString& libraryFolder) {
    // The asset folder beside the library first, then each parent folder.
    QString folder = QDir::cleanPath(libraryFolder + QStringLiteral("/KestDicomAx"));
    for (;;) {
        const QString candidate =
            folder + QLatin1Char('/') + QLatin1String(runtimeloader::LoaderName);
        if (QFileInfo(candidate).isFile())
            return candidate;
        if (folder.size() < 2 || folder == QLatin1String("/"))
            return {};
        folder = QFileInfo(folder).path();
    }
}

void cWebView2::pvReport(const QString& member, const QString& description) const {
    if (diagnosticHook())
        diagnosticHook()(member, description);
}

QWidget* cWebView2::HosthWnd() const {
    return d->hostWindow;
}

double cWebView2::jsCallTimeOutSeconds() const {
    return d->timeoutSeconds;
}

void cWebView2::setJsCallTimeOutSeconds(double seconds) {
    d->timeoutSeconds = seconds;
}

QString cWebView2::jsLastError() const {
    return d->lastError;
}

qsizetype cWebView2::pendingCallbacks() const {
    return d->attached.size();
}

bool cWebView2::jsBridgeAvailable() const {
    return d->bridge != nullptr;
}

bool cWebView2::isBound() const {
    return d->core && d->controller;
}

// ---------------------------------------------------------------- waits

bool cWebView2::pvPumpUntil(const bool& flag, double seconds) {
    if (seconds <= 0)
        return true;
    return pvWaitFor([&flag] { return flag; }, seconds);
}

bool cWebView2::pvPumpUntilKey(const QString& key, double seconds) {
    return pvWaitFor([this, &key] { return d->pending.contains(key); }, seconds);
}

// Keyboard and mouse input is dropped: the user cannot act on the application
// while it waits for the browser. A shutdown meanwhile ends the wait as a time-out.
bool cWebView2::pvWaitFor(const std::function<bool()>& done, double seconds) {
    const bool reached =
        waits::waitUntil([this, &done] { return d->shuttingDown || done(); }, seconds, true);
    return reached && !d->shuttingDown;
}

Currency cWebView2::pvNewToken() {
    ++d->tokenCounter;
    return Currency{d->tokenCounter * 10000};
}

ComPtr<cWebView2Callback> cWebView2::pvNewCallback(Currency token) {
    auto callback = makeCom<cWebView2Callback>(this, token);
    d->attached.append(callback);
    return callback;
}

void cWebView2::pvForgetCallback(const cWebView2Callback* callback) {
    d->attached.removeIf([callback](const auto& held) { return held.get() == callback; });
}

std::optional<cWebView2::Record> cWebView2::pvWaitForRecord(Currency token, double seconds) {
    const QString pendingKey = tokenKey(token, 'P');
    const QString resultKey = tokenKey(token, 'T');
    d->pending.insert(pendingKey, {});
    if (!pvPumpUntilKey(resultKey, seconds)) {
        d->pending.remove(pendingKey);
        return std::nullopt;
    }
    return d->pending.take(resultKey);
}

// ---------------------------------------------------------------- placement

void cWebView2::setHosthWnd(QWidget* hostWindow) {
    d->hostWindow = hostWindow;
    if (d->controller)
        d->controller->put_ParentWindow(hostWindow);
}

void cWebView2::SyncSizeToHostWindow() {
    if (!d->controller || !d->hostWindow)
        return;
    const QRect client = d->hostWindow->contentsRect();
    d->controller->put_Bounds(RECT{0, 0, client.width(), client.height()});
    d->controller->NotifyParentWindowPositionChanged();
}

void cWebView2::MoveRelativeToHostWindow(std::optional<int>& x, std::optional<int>& y,
                                         std::optional<int>& dx, std::optional<int>& dy) {
    if (!d->controller)
        return;
    RECT bounds;
    d->controller->get_Bounds(&bounds);
    x = x.value_or(bounds.left);
    y = y.value_or(bounds.top);
    dx = dx.value_or(bounds.right - bounds.left);
    dy = dy.value_or(bounds.bottom - bounds.top);
    d->controller->put_Bounds(RECT{*x, *y, *x + *dx, *y + *dy});
    d->controller->NotifyParentWindowPositionChanged();
}

void cWebView2::SetBoundsAndZoomFactor(int left, int top, int right, int bottom,
                                       double zoomFactor) {
    if (d->controller)
        d->controller->SetBoundsAndZoomFactor(RECT{left, top, right, bottom}, zoomFactor);
}

void cWebView2::NotifyParentWindowPositionChanged() {
    if (d->controller)
        d->controller->NotifyParentWindowPositionChanged();
}

void cWebView2::SetFocus(int reason) {
    d->focusReason = reason;
    if (d->controller)
        d->controller->MoveFocus(static_cast<COREWEBVIEW2_MOVE_FOCUS_REASON>(reason));
}

double cWebView2::ZoomFactor() const {
    double zoom = 0;
    if (d->controller)
        d->controller->get_ZoomFactor(&zoom);
    return zoom;
}

void cWebView2::setZoomFactor(double zoomFactor) {
    if (d->controller)
        d->controller->put_ZoomFactor(zoomFactor);
}

Variant cWebView2::TrySuspend(double secondsToWait) {
    if (!d->controller || !d->core3)
        return {};
    d->controller->put_IsVisible(false);
    const Currency token = pvNewToken();
    const auto handler = Private::booleanCompletion<ICoreWebView2TrySuspendCompletedHandler>(
        *pvNewCallback(token), token);
    if (hr::failed(d->core3->TrySuspend(handler.get())))
        return {};
    if (secondsToWait <= 0)
        return Variant(true);
    const auto record = pvWaitForRecord(token, secondsToWait);
    if (!record || hr::failed(record->result))
        return {};
    return Variant(record->value.toString() == QLatin1String("true"));
}

void cWebView2::ResumeFromSuspend() {
    if (d->core3)
        d->core3->Resume();
    if (d->controller)
        d->controller->put_IsVisible(true);
}

bool cWebView2::IsSuspended() const {
    bool suspended = false;
    if (d->core3)
        d->core3->get_IsSuspended(&suspended);
    return suspended;
}

void cWebView2::Shutdown() {
    d->shuttingDown = true;
    d->fireOnce.stop();
    d->queue.clear();
    d->bridge.reset();
    if (d->core)
        d->core->RemoveHostObjectFromScript(QStringLiteral("vbHost"));
    d->core16.reset();
    d->core13.reset();
    d->core12.reset();
    d->core10.reset();
    d->core8.reset();
    d->core7.reset();
    d->core4.reset();
    d->core3.reset();
    d->core2.reset();
    d->core.reset();
    if (d->controller)
        d->controller->Close();
    d->controller.reset();
    d->environment.reset();
    for (const auto& callback : std::as_const(d->attached))
        callback->detach();
    d->attached.clear();
    for (ComPtr<cWebView2Callback>* lifetime : {&d->general, &d->gotFocus, &d->lostFocus}) {
        if (*lifetime)
            (*lifetime)->detach();
        lifetime->reset();
    }
    d->settings3.reset();
    d->settings2.reset();
    d->settings.reset();
    d->pending.clear();
}
