#include "BrowserProcess.h"
#include "Environment.h"
#include "WebView2.h"

#include <QApplication>
#include <QProcess>
#include <QTimer>

namespace {

QStringList readArguments(ICoreWebView2EnvironmentOptions* options) {
    QString arguments;
    if (options)
        options->get_AdditionalBrowserArguments(&arguments);
    return QProcess::splitCommand(arguments);
}

QString readLanguage(ICoreWebView2EnvironmentOptions* options) {
    QString language;
    if (options)
        options->get_Language(&language);
    return language;
}

} // namespace

extern "C" HRESULT CreateCoreWebView2EnvironmentWithOptions(
    const QString& browserExecutableFolder, const QString& userDataFolder,
    ICoreWebView2EnvironmentOptions* environmentOptions,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* environmentCreatedHandler) {
    if (!environmentCreatedHandler)
        return hr::E_POINTER;
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return hr::E_UNEXPECTED;
    QString runtimeFolder;
    if (const HRESULT result =
            BrowserProcess::resolveRuntimeFolder(browserExecutableFolder, &runtimeFolder);
        hr::failed(result))
        return result;

    const QStringList arguments = readArguments(environmentOptions);
    BrowserProcess::start(runtimeFolder, arguments);
    auto profile =
        BrowserProcess::profileFor(userDataFolder, arguments, readLanguage(environmentOptions));
    auto environment = makeCom<Environment>(std::move(profile));
    ComPtr<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler> handler(
        environmentCreatedHandler);
    QTimer::singleShot(0, qApp,
                       [environment, handler] { handler->Invoke(hr::S_OK, environment.get()); });
    return hr::S_OK;
}

extern "C" HRESULT
GetAvailableCoreWebView2BrowserVersionString(const QString& browserExecutableFolder,
                                             QString* versionInfo) {
    if (!versionInfo)
        return hr::E_POINTER;
    QString runtimeFolder;
    if (const HRESULT result =
            BrowserProcess::resolveRuntimeFolder(browserExecutableFolder, &runtimeFolder);
        hr::failed(result))
        return result;
    *versionInfo = BrowserProcess::browserVersion();
    return hr::S_OK;
}

extern "C" HRESULT GetCoreWebView2AbsentFacilities(QStringList* names) {
    if (!names)
        return hr::E_POINTER;
    *names = {
        // Qt WebEngine has no tracking prevention: the option and the profile's level.
        QStringLiteral("EnableTrackingPrevention"),
        QStringLiteral("PreferredTrackingPreventionLevel"),
        // Nor Chromium extensions.
        QStringLiteral("AreBrowserExtensionsEnabled"),
        // Nor form autofill or a password store.
        QStringLiteral("IsGeneralAutofillEnabled"),
        QStringLiteral("IsPasswordAutosaveEnabled"),
        // Nor a report of response headers: no response-received event, so no
        // Set-Cookie values either.
        QStringLiteral("WebResourceResponseReceived"),
        // Nor a download dialog of the browser's own.
        QStringLiteral("IsDefaultDownloadDialogOpen"),
        QStringLiteral("OpenDefaultDownloadDialog"),
        QStringLiteral("CloseDefaultDownloadDialog"),
        QStringLiteral("DefaultDownloadDialogCornerAlignment"),
        QStringLiteral("DefaultDownloadDialogMargin"),
        // Nor a task manager window.
        QStringLiteral("OpenTaskManagerWindow"),
        // Nor serving a folder under a host name of its own.
        QStringLiteral("SetVirtualHostNameToFolderMapping"),
        QStringLiteral("ClearVirtualHostNameToFolderMapping"),
    };
    return hr::S_OK;
}
