#include "cWebView2.h"

#include "Collection.h"
#include "cWebView2Private.h"

#include "platform/automation/AutomationError.h"

#include <QBuffer>
#include <QFile>

using namespace bindingdetail;

// ---------------------------------------------------------------- asynchronous operations

QByteArray cWebView2::CapturePreview(int imageFormat) {
    if (!d->core)
        return {};
    // The stream outlives a wait that times out: the runtime may still write into it.
    auto stream = std::make_shared<QBuffer>();
    stream->open(QIODevice::WriteOnly);
    const Currency token = pvNewToken();
    const auto handler =
        pvNewCallback(token)->completion<ICoreWebView2CapturePreviewCompletedHandler>(
            [token, stream](cWebView2& o, HRESULT result) {
                o.OnExecuteScriptCompleted(result, QString(), token);
                return hr::S_OK;
            });
    const HRESULT started =
        d->core->CapturePreview(static_cast<COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT>(imageFormat),
                                stream.get(), handler.get());
    if (hr::failed(started)) {
        pvReport(QStringLiteral("CapturePreview"),
                 QStringLiteral("Error &H%1").arg(hexOf(started)));
        return {};
    }
    const auto record = pvWaitForRecord(token, d->timeoutSeconds);
    if (!record || hr::failed(record->result))
        return {};
    return stream->data();
}

ComPtr<ICoreWebView2PrintSettings> cWebView2::pvPrintSettings(const PrintOptions& options) const {
    ComPtr<ICoreWebView2PrintSettings> settings;
    const auto environment6 = d->environment.query<ICoreWebView2Environment6>();
    if (!environment6 || hr::failed(environment6->CreatePrintSettings(settings.put())))
        return nullptr;
    settings->put_Orientation(options.landscape ? COREWEBVIEW2_PRINT_ORIENTATION_LANDSCAPE
                                                : COREWEBVIEW2_PRINT_ORIENTATION_PORTRAIT);
    settings->put_ScaleFactor(options.scaleFactor);
    settings->put_PageWidth(options.pageWidth);
    settings->put_PageHeight(options.pageHeight);
    settings->put_MarginTop(options.marginTop);
    settings->put_MarginBottom(options.marginBottom);
    settings->put_MarginLeft(options.marginLeft);
    settings->put_MarginRight(options.marginRight);
    settings->put_ShouldPrintBackgrounds(options.backgrounds);
    settings->put_ShouldPrintSelectionOnly(options.selectionOnly);
    settings->put_ShouldPrintHeaderAndFooter(options.headerAndFooter);
    settings->put_HeaderTitle(options.headerTitle);
    settings->put_FooterUri(options.footerUri);
    return settings;
}

Variant cWebView2::PrintToPdf(const QString& resultFilePath, double secondsToWait, bool landscape,
                              double scaleFactor, double pageWidth, double pageHeight,
                              double marginTop, double marginBottom, double marginLeft,
                              double marginRight, bool shouldPrintBackgrounds,
                              bool shouldPrintSelectionOnly, bool shouldPrintHeaderAndFooter,
                              const QString& headerTitle, const QString& footerUri) {
    if (!d->core7)
        return {};
    const auto settings =
        pvPrintSettings({landscape, scaleFactor, pageWidth, pageHeight, marginTop, marginBottom,
                         marginLeft, marginRight, shouldPrintBackgrounds, shouldPrintSelectionOnly,
                         shouldPrintHeaderAndFooter, headerTitle, footerUri});
    const Currency token = pvNewToken();
    const auto handler = Private::booleanCompletion<ICoreWebView2PrintToPdfCompletedHandler>(
        *pvNewCallback(token), token);
    const HRESULT started = d->core7->PrintToPdf(resultFilePath, settings.get(), handler.get());
    if (hr::failed(started)) {
        pvReport(QStringLiteral("PrintToPdf"), QStringLiteral("Error &H%1").arg(hexOf(started)));
        return Variant(false);
    }
    if (secondsToWait <= 0)
        return Variant(true);
    const auto record = pvWaitForRecord(token, secondsToWait);
    if (!record)
        return {};
    return Variant(hr::succeeded(record->result) &&
                   record->value.toString() == QLatin1String("true"));
}

void cWebView2::OnPrintToPdfStream(HRESULT result, const QByteArray& pdf, Currency token) {
    pvStoreCompletion(token, {result, Variant::fromBytes(pdf), {}});
}

QByteArray cWebView2::PrintToPdfStream(double secondsToWait, bool landscape, double scaleFactor,
                                       double pageWidth, double pageHeight, double marginTop,
                                       double marginBottom, double marginLeft, double marginRight,
                                       bool shouldPrintBackgrounds, bool shouldPrintSelectionOnly,
                                       bool shouldPrintHeaderAndFooter, const QString& headerTitle,
                                       const QString& footerUri) {
    if (!d->core16)
        return {};
    const auto settings =
        pvPrintSettings({landscape, scaleFactor, pageWidth, pageHeight, marginTop, marginBottom,
                         marginLeft, marginRight, shouldPrintBackgrounds, shouldPrintSelectionOnly,
                         shouldPrintHeaderAndFooter, headerTitle, footerUri});
    const Currency token = pvNewToken();
    const auto handler =
        pvNewCallback(token)->completion<ICoreWebView2PrintToPdfStreamCompletedHandler>(
            [token](cWebView2& o, HRESULT result, const QByteArray& pdf) {
                o.OnPrintToPdfStream(result, pdf, token);
                return hr::S_OK;
            });
    if (hr::failed(d->core16->PrintToPdfStream(settings.get(), handler.get())))
        return {};
    const auto record = pvWaitForRecord(token, secondsToWait);
    if (!record || hr::failed(record->result))
        return {};
    return record->value.toBytes();
}

bool cWebView2::ShowPrintUI(int printDialogKind) {
    if (!d->core16)
        return false;
    const HRESULT shown =
        d->core16->ShowPrintUI(static_cast<COREWEBVIEW2_PRINT_DIALOG_KIND>(printDialogKind));
    if (hr::failed(shown))
        pvReport(QStringLiteral("ShowPrintUI"), QStringLiteral("Error &H%1").arg(hexOf(shown)));
    return hr::succeeded(shown);
}

ComPtr<ICoreWebView2CookieManager> cWebView2::pvCookieManager() const {
    ComPtr<ICoreWebView2CookieManager> manager;
    if (d->core2)
        d->core2->get_CookieManager(manager.put());
    return manager;
}

Variant cWebView2::pvCookieToCollection(ICoreWebView2Cookie* cookie) {
    auto item = Collection::create();
    QString text;
    bool flag = false;
    double expires = 0;
    COREWEBVIEW2_COOKIE_SAME_SITE_KIND sameSite = COREWEBVIEW2_COOKIE_SAME_SITE_KIND_NONE;
    cookie->get_Name(&text);
    item->add(Variant(text), QStringLiteral("Name"));
    cookie->get_Value(&text);
    item->add(Variant(text), QStringLiteral("Value"));
    cookie->get_Domain(&text);
    item->add(Variant(text), QStringLiteral("Domain"));
    cookie->get_Path(&text);
    item->add(Variant(text), QStringLiteral("Path"));
    cookie->get_IsSession(&flag);
    item->add(Variant(flag), QStringLiteral("IsSession"));
    if (!flag) {
        cookie->get_Expires(&expires);
        item->add(Variant(OleDate{expires / 86400.0 + 25569.0}), QStringLiteral("Expires"));
    }
    cookie->get_IsSecure(&flag);
    item->add(Variant(flag), QStringLiteral("IsSecure"));
    cookie->get_IsHttpOnly(&flag);
    item->add(Variant(flag), QStringLiteral("IsHttpOnly"));
    cookie->get_SameSite(&sameSite);
    item->add(Variant(std::int32_t(sameSite)), QStringLiteral("SameSite"));
    return collectionVariant(item);
}

void cWebView2::OnGetCookies(HRESULT result, ICoreWebView2CookieList* list, Currency token) {
    if (!d->pending.contains(tokenKey(token, 'P')))
        return;
    auto cookies = Collection::create();
    std::uint32_t count = 0;
    if (hr::succeeded(result) && list)
        list->get_Count(&count);
    for (std::uint32_t i = 0; i < count; ++i) {
        ComPtr<ICoreWebView2Cookie> cookie;
        if (hr::succeeded(list->GetValueAtIndex(i, cookie.put())) && cookie)
            cookies->add(pvCookieToCollection(cookie.get()));
    }
    pvStoreCompletion(token, {result, collectionVariant(cookies), {}});
}

Variant cWebView2::GetCookies(const QString& uri, double secondsToWait) {
    const auto manager = pvCookieManager();
    if (!manager)
        return {};
    const Currency token = pvNewToken();
    const auto handler = pvNewCallback(token)->completion<ICoreWebView2GetCookiesCompletedHandler>(
        [token](cWebView2& o, HRESULT result, ICoreWebView2CookieList* list) {
            o.OnGetCookies(result, list, token);
            return hr::S_OK;
        });
    if (hr::failed(manager->GetCookies(uri, handler.get())))
        return {};
    const auto record = pvWaitForRecord(token, secondsToWait);
    if (!record || hr::failed(record->result))
        return {};
    return record->value;
}

void cWebView2::AddOrUpdateCookie(const QString& name, const QString& value, const QString& domain,
                                  const QString& path, double expires, bool isSecure,
                                  bool isHttpOnly, int sameSite) {
    const auto manager = pvCookieManager();
    ComPtr<ICoreWebView2Cookie> cookie;
    if (!manager || hr::failed(manager->CreateCookie(name, value, domain, path, cookie.put())))
        return;
    if (expires != 0)
        cookie->put_Expires((expires - 25569.0) * 86400.0);
    cookie->put_IsSecure(isSecure);
    cookie->put_IsHttpOnly(isHttpOnly);
    cookie->put_SameSite(static_cast<COREWEBVIEW2_COOKIE_SAME_SITE_KIND>(sameSite));
    manager->AddOrUpdateCookie(cookie.get());
}

void cWebView2::DeleteCookies(const QString& name, const QString& uri) {
    if (const auto manager = pvCookieManager())
        manager->DeleteCookies(name, uri);
}

void cWebView2::DeleteAllCookies() {
    if (const auto manager = pvCookieManager())
        manager->DeleteAllCookies();
}

bool cWebView2::pvClearBrowsingData(
    const std::function<HRESULT(ICoreWebView2Profile2*,
                                ICoreWebView2ClearBrowsingDataCompletedHandler*)>& start,
    double secondsToWait) {
    const auto profile2 = pvProfile().query<ICoreWebView2Profile2>();
    if (!profile2)
        return false;
    const Currency token = pvNewToken();
    const auto handler =
        pvNewCallback(token)->completion<ICoreWebView2ClearBrowsingDataCompletedHandler>(
            [token](cWebView2& o, HRESULT result) {
                o.OnExecuteScriptCompleted(result, QString(), token);
                return hr::S_OK;
            });
    if (hr::failed(start(profile2.get(), handler.get())))
        return false;
    const auto record = pvWaitForRecord(token, secondsToWait);
    return record && hr::succeeded(record->result);
}

bool cWebView2::ClearBrowsingData(std::uint32_t dataKinds, double secondsToWait) {
    return pvClearBrowsingData(
        [dataKinds](ICoreWebView2Profile2* profile,
                    ICoreWebView2ClearBrowsingDataCompletedHandler* h) {
            return profile->ClearBrowsingData(
                static_cast<COREWEBVIEW2_BROWSING_DATA_KINDS>(dataKinds), h);
        },
        secondsToWait);
}

bool cWebView2::ClearBrowsingDataAll(double secondsToWait) {
    return pvClearBrowsingData(
        [](ICoreWebView2Profile2* profile, ICoreWebView2ClearBrowsingDataCompletedHandler* h) {
            return profile->ClearBrowsingDataAll(h);
        },
        secondsToWait);
}
