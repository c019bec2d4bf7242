#include "BrowserRuntime.h"

#include <QDir>
#include <QFileInfo>

namespace browserruntime {

QString executableIn(const QString& folder) {
    return QDir(folder).filePath(QString::fromLatin1(processExecutable));
}

bool isRuntimeFolder(const QString& folder) {
    return !folder.isEmpty() && QFileInfo(executableIn(folder)).isFile();
}

} // namespace browserruntime
