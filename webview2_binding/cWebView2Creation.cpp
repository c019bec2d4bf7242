#include "cWebView2.h"

#include "RuntimeLoader.h"
#include "cWebView2Private.h"
#include "cWebView2Scripts.h"

#include "platform/BrowserRuntime.h"
#include "platform/Environment.h"
#include "platform/automation/AutomationError.h"

#include <QFileInfo>
#include <QLibraryInfo>
#include <QWidget>

using namespace bindingdetail;

// ---------------------------------------------------------------- start-up

HRESULT cWebView2::pvCreateWebView2Environment(const QString& installPath,
                                               const QString& userDataFolder,
                                               cWebView2Callback* options,
                                               cWebView2Callback* handler) {
    if (!runtimeloader::load())
        return static_cast<HRESULT>(0x8007007E);
    QString dataFolder = userDataFolder;
    if (dataFolder.isEmpty()) {
        const QString base =
            QFileInfo(runtimeloader::moduleFolder() + QStringLiteral("/libKestDicomViewControl.so"))
                .completeBaseName()
                .toUpper();
        dataFolder = env::localAppData() + QLatin1Char('/') + base;
    }
    options->setInstalledVersionQuery([] {
        QString version;
        runtimeloader::loader().version(QString(), &version);
        return version;
    });
    auto environmentHandler =
        handler->completion<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>(
            [](cWebView2& owner, HRESULT result, ICoreWebView2Environment* environment) {
                owner.OnEnvironmentCreated(result, environment);
                return hr::S_OK;
            });
    return runtimeloader::loader().create(installPath, dataFolder, options,
                                          environmentHandler.get());
}

bool cWebView2::BindTo(QWidget* hostWindow, double secondsToWaitForInitComplete,
                       const QString& browserInstallPath, const QString& userDataFolder,
                       const QString& additionalBrowserArguments,
                       bool allowSingleSignOnUsingOSPrimaryAccount,
                       bool exclusiveUserDataFolderAccess, bool isCustomCrashReportingEnabled,
                       bool enableTrackingPrevention, bool areBrowserExtensionsEnabled) {
    d->hostWindow = hostWindow;
    d->shuttingDown = false;
    d->initDone = false;
    d->initResult = 0;
    const auto options = makeCom<cWebView2Callback>(nullptr, Currency{});
    options->put_AdditionalBrowserArguments(additionalBrowserArguments);
    options->put_AllowSingleSignOnUsingOSPrimaryAccount(allowSingleSignOnUsingOSPrimaryAccount);
    options->put_ExclusiveUserDataFolderAccess(exclusiveUserDataFolderAccess);
    options->put_IsCustomCrashReportingEnabled(isCustomCrashReportingEnabled);
    options->put_EnableTrackingPrevention(enableTrackingPrevention);
    options->put_AreBrowserExtensionsEnabled(areBrowserExtensionsEnabled);
    d->trackingPreventionAsked = enableTrackingPrevention;
    d->browserExtensionsAsked = areBrowserExtensionsEnabled;
    const auto handler = pvNewCallback(Currency{});
    const HRESULT created = pvCreateWebView2Environment(browserInstallPath, userDataFolder,
                                                        options.get(), handler.get());
    if (hr::failed(created)) {
        pvReport(QStringLiteral("pvCreateWebView2Environment"),
                 QStringLiteral("Error &H%1").arg(hexOf(created)));
        return false;
    }
    if (!pvPumpUntil(d->initDone, secondsToWaitForInitComplete))
        return false;
    return secondsToWaitForInitComplete <= 0 || d->initResult == 0;
}

void cWebView2::OnEnvironmentCreated(HRESULT result, ICoreWebView2Environment* environment) {
    if (hr::failed(result) || !environment) {
        d->initResult = hr::failed(result) ? result : hr::E_POINTER;
        d->initDone = true;
        return;
    }
    d->environment = ComPtr<ICoreWebView2Environment>(environment);
    const auto handler = pvNewCallback(Currency{});
    const HRESULT started = d->environment->CreateCoreWebView2Controller(
        d->hostWindow,
        handler
            ->completion<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler>(
                [](cWebView2& owner, HRESULT code, ICoreWebView2Controller* controller) {
                    owner.OnControllerCreated(code, controller);
                    return hr::S_OK;
                })
            .get());
    if (hr::failed(started)) {
        pvReport(QStringLiteral("OnEnvironmentCreated"),
                 QStringLiteral("Error &H%1").arg(hexOf(started)));
        d->initResult = started;
        d->initDone = true;
    }
}

void cWebView2::OnControllerCreated(HRESULT result, ICoreWebView2Controller* controller) {
    if (hr::failed(result) || !controller) {
        d->initResult = hr::failed(result) ? result : hr::E_POINTER;
        d->initDone = true;
        return;
    }
    try {
        pvConfigureController(controller);
    } catch (const AutomationError& error) {
        pvReport(QStringLiteral("OnControllerCreated"), error.description());
        d->initResult = error.hresult();
        d->initDone = true;
        return;
    }
    d->initResult = 0;
    d->initDone = true;
    pvPostEvent(DeferredEvent::InitComplete);
}

void cWebView2::pvConfigureController(ICoreWebView2Controller* controller) {
    auto check = [](HRESULT result) {
        if (hr::failed(result))
            throw AutomationError::fromHResult(result);
    };
    d->controller = ComPtr<ICoreWebView2Controller>(controller);
    check(d->controller->get_CoreWebView2(d->core.put()));
    check(d->core->get_Settings(d->settings.put()));
    // Newer interfaces may be absent: members that need them then do nothing.
    d->core.as(&d->core2);
    d->core.as(&d->core3);
    d->core.as(&d->core4);
    d->core.as(&d->core7);
    d->core.as(&d->core8);
    d->core.as(&d->core10);
    d->core.as(&d->core12);
    d->core.as(&d->core13);
    d->core.as(&d->core16);
    d->settings.as(&d->settings2);
    d->settings.as(&d->settings3);
    pvRegisterEvents();
    Variant host(d->general->hostObject());
    AddObject(QStringLiteral("vbHost"), host);
    AddScriptToExecuteOnDocumentCreated(bindingscripts::hostAccessorScript());
    AddScriptToExecuteOnDocumentCreated(bindingscripts::bridgeScript());
    SyncSizeToHostWindow();
    check(d->controller->put_IsVisible(true));
}

QString cWebView2::GetMostRecentInstallPath(const QString& edgeChannel, QString& versionString) {
    if (runtimeloader::load()) {
        QString version;
        if (hr::succeeded(runtimeloader::loader().version(QString(), &version)))
            versionString = version;
    }
    if (versionString.isEmpty())
        return {};
    // The installed runtime is the system's Qt WebEngine: its process lives in
    // Qt's folder of executables, whatever the channel.
    Q_UNUSED(edgeChannel);
    const QString folder = QLibraryInfo::path(QLibraryInfo::LibraryExecutablesPath);
    return browserruntime::isRuntimeFolder(folder) ? folder : QString();
}
