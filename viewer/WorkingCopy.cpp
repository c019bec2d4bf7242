#include "WorkingCopy.h"

#include <QFile>

#include <fcntl.h>
#include <unistd.h>

namespace workingcopy {

bool place(const QString& source, const QString& target) {
    QFile::remove(target);
    // A source that is a symbolic link is resolved: a link to the link could dangle.
    if (::linkat(AT_FDCWD, QFile::encodeName(source).constData(), AT_FDCWD,
                 QFile::encodeName(target).constData(), AT_SYMLINK_FOLLOW) == 0)
        return true;
    return QFile::copy(source, target);
}

} // namespace workingcopy
