#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace testing_support {

// Writes the bytes as the named file of the folder, making its sub-folders;
// returns the file's path.
inline QString writeTestFile(const QTemporaryDir& dir, const QString& name,
                             const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
    return path;
}

} // namespace testing_support
