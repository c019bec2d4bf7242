#include "cWebView2.h"

#include "cWebView2Private.h"
#include "platform/automation/AutomationError.h"

#include <functional>

// ---------------------------------------------------------------- navigation

Variant cWebView2::pvNavigateAndWait(const std::function<HRESULT()>& start, double secondsToWait) {
    if (!d->core)
        return {};
    d->navigationCompleted = false;
    // An address the runtime refuses is the caller's error, not a time-out.
    if (const HRESULT started = start(); hr::failed(started))
        throw AutomationError::fromHResult(started);
    return pvPumpUntil(d->navigationCompleted, secondsToWait) ? Variant(std::int32_t(1))
                                                              : Variant();
}

Variant cWebView2::Navigate(const QString& uri, double secondsToWait) {
    return pvNavigateAndWait([&] { return d->core->Navigate(uri); }, secondsToWait);
}

Variant cWebView2::NavigateToString(const QString& htmlContent, double secondsToWait) {
    return pvNavigateAndWait([&] { return d->core->NavigateToString(htmlContent); }, secondsToWait);
}

Variant cWebView2::NavigateWithWebResourceRequest(const QString& uri, const QString& method,
                                                  const QString& headers, const QByteArray& content,
                                                  double secondsToWait) {
    if (!d->core2)
        return {};
    return pvNavigateAndWait(
        [&] { return d->core2->NavigateWithWebResourceRequest(uri, method, headers, content); },
        secondsToWait);
}

void cWebView2::Reload() {
    if (d->core)
        d->core->Reload();
}

void cWebView2::GoBack() {
    if (d->core)
        d->core->GoBack();
}

void cWebView2::GoForward() {
    if (d->core)
        d->core->GoForward();
}

void cWebView2::Stop_() {
    if (d->core)
        d->core->Stop();
}

void cWebView2::OpenDevToolsWindow() {
    if (d->core)
        d->core->OpenDevToolsWindow();
}

void cWebView2::AddWebResourceRequestedFilter(const QString& filter, int resourceContext) {
    if (d->core)
        d->core->AddWebResourceRequestedFilter(
            filter, static_cast<COREWEBVIEW2_WEB_RESOURCE_CONTEXT>(resourceContext));
}

void cWebView2::RemoveWebResourceRequestedFilter(const QString& filter, int resourceContext) {
    if (d->core)
        d->core->RemoveWebResourceRequestedFilter(
            filter, static_cast<COREWEBVIEW2_WEB_RESOURCE_CONTEXT>(resourceContext));
}
