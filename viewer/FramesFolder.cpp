#include "FramesFolder.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace {

// TMPFS_MAGIC of <linux/magic.h>.
constexpr long TmpfsMagic = 0x01021994;

bool isTmpfs(const QString& folder) {
    struct statfs info {};
    return !folder.isEmpty() && ::statfs(QFile::encodeName(folder).constData(), &info) == 0 &&
           info.f_type == TmpfsMagic;
}

// Makes the folder, or accepts it when it is already this user's directory
// (not a link) that no one else may enter.
bool makePrivateFolder(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) == 0)
        return true;
    struct stat info {};
    return errno == EEXIST && ::lstat(native.constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::getuid() && (info.st_mode & 0077) == 0;
}

} // namespace

FramesFolder::FramesFolder(const QString& name, const QString& fallback)
    : m_path(fallback) {
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    for (const QString& memory : {runtime, QStringLiteral("/dev/shm")}) {
        if (!isTmpfs(memory))
            continue;
        const QString folder = QDir(memory).filePath(QStringLiteral("kestdicomview-") + name);
        if (makePrivateFolder(folder)) {
            m_path = folder + QLatin1Char('/');
            m_owned = true;
            return;
        }
    }
}

FramesFolder::~FramesFolder() {
    if (m_owned)
        QDir(m_path).removeRecursively();
}

FramesFolder::FramesFolder(FramesFolder&& other) noexcept
    : m_path(std::move(other.m_path))
    , m_owned(std::exchange(other.m_owned, false)) {
}

FramesFolder& FramesFolder::operator=(FramesFolder&& other) noexcept {
    if (this != &other) {
        if (m_owned)
            QDir(m_path).removeRecursively();
        m_path = std::move(other.m_path);
        m_owned = std::exchange(other.m_owned, false);
    }
    return *this;
}

void FramesFolder::removeFiles(const QString& pattern) const {
    const QDir folder(m_path);
    for (const QString& name : folder.entryList({pattern}, QDir::Files))
        QFile::remove(folder.filePath(name));
}
