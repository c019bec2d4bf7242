#pragma once

#include "platform/webview2/WebView2.h"

#include <QString>

// The runtime's loader library, found beside the control library (or above
// it) and loaded once per process.
namespace runtimeloader {

inline constexpr char LoaderName[] = "libWebView2Loader.so";

struct Loader {
    void* handle = nullptr;
    CreateCoreWebView2EnvironmentWithOptionsFn create = nullptr;
    GetAvailableCoreWebView2BrowserVersionStringFn version = nullptr;
    // Optional: a runtime without it reports no absent facility.
    GetCoreWebView2AbsentFacilitiesFn absent = nullptr;
};

Loader& loader();
// Finds and loads the runtime; false when there is none or it is not the runtime.
bool load();
// The folder the search starts from when set; the control library's otherwise.
QString& libraryFolderOverride();
// The folder of the module this code is linked into (the control library).
QString moduleFolder();

} // namespace runtimeloader
