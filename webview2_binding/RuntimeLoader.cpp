#include "RuntimeLoader.h"

#include "cWebView2.h"

#include "platform/ModulePath.h"

#include <QFile>

#include <dlfcn.h>

namespace runtimeloader {

QString& libraryFolderOverride() {
    static QString folder;
    return folder;
}

QString moduleFolder() {
    return modulepath::folderOf(reinterpret_cast<const void*>(&moduleFolder));
}

Loader& loader() {
    static Loader instance;
    return instance;
}

bool load() {
    Loader& l = loader();
    if (l.handle)
        return true;
    const QString folder =
        libraryFolderOverride().isEmpty() ? moduleFolder() : libraryFolderOverride();
    const QString path = cWebView2::findLoader(folder);
    if (path.isEmpty())
        return false;
    void* handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return false;
    const auto create = reinterpret_cast<CreateCoreWebView2EnvironmentWithOptionsFn>(
        dlsym(handle, "CreateCoreWebView2EnvironmentWithOptions"));
    const auto version = reinterpret_cast<GetAvailableCoreWebView2BrowserVersionStringFn>(
        dlsym(handle, "GetAvailableCoreWebView2BrowserVersionString"));
    if (!create || !version) {
        // Not the runtime: unload it, so that a later call searches again.
        dlclose(handle);
        return false;
    }
    l = {handle, create, version,
         reinterpret_cast<GetCoreWebView2AbsentFacilitiesFn>(
             dlsym(handle, "GetCoreWebView2AbsentFacilities"))};
    return true;
}

} // namespace runtimeloader
