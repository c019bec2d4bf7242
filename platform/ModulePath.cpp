#include "ModulePath.h"

#include <QFileInfo>

#include <dlfcn.h>

namespace modulepath {

QString pathOf(const void* address) {
    Dl_info info{};
    if (!dladdr(address, &info) || !info.dli_fname)
        return {};
    return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absoluteFilePath();
}

QString folderOf(const void* address) {
    const QString path = pathOf(address);
    return path.isEmpty() ? QString() : QFileInfo(path).absolutePath();
}

} // namespace modulepath
