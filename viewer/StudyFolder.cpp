#include "StudyFolder.h"

#include "PageAssets.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <memory>

#include <dirent.h>
#include <sys/stat.h>

namespace studyfolder {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

bool isHidden(const char* name) {
    return name[0] == '.';
}

// An ordinary file, or a link to one. The entry's type saves a stat call
// where the file system reports it.
bool isOrdinaryFile(int folderFd, const dirent* entry) {
    if (entry->d_type == DT_REG)
        return true;
    if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
        return false;
    struct stat info {};
    return fstatat(folderFd, entry->d_name, &info, 0) == 0 && S_ISREG(info.st_mode);
}

// Calls visit(folderFd, name) for every ordinary, visible file of the folder
// until it returns false.
template <typename Visit> void forEachFile(const QString& folder, Visit visit) {
    const DirHandle dir(opendir(QFile::encodeName(folder).constData()));
    if (!dir)
        return;
    const int fd = dirfd(dir.get());
    while (const dirent* entry = readdir(dir.get())) {
        if (isHidden(entry->d_name) || !isOrdinaryFile(fd, entry))
            continue;
        if (!visit(fd, entry->d_name))
            return;
    }
}

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Compares the digit runs starting at i and j by value; advances both past them.
int compareNumbers(const QString& a, qsizetype& i, const QString& b, qsizetype& j) {
    const auto skipZeros = [](const QString& s, qsizetype& k) {
        while (k + 1 < s.size() && s[k] == QLatin1Char('0') && isDigit(s[k + 1]))
            ++k;
    };
    skipZeros(a, i);
    skipZeros(b, j);
    qsizetype endA = i;
    qsizetype endB = j;
    while (endA < a.size() && isDigit(a[endA]))
        ++endA;
    while (endB < b.size() && isDigit(b[endB]))
        ++endB;
    // More significant digits mean a larger number; equal lengths compare as text.
    int result = int(endA - i) - int(endB - j);
    if (result == 0)
        result = QStringView(a).mid(i, endA - i).compare(QStringView(b).mid(j, endB - j));
    i = endA;
    j = endB;
    return result;
}

int naturalCompare(const QString& a, const QString& b) {
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            if (const int numbers = compareNumbers(a, i, b, j))
                return numbers;
            continue;
        }
        const char16_t left = a[i].toCaseFolded().unicode();
        const char16_t right = b[j].toCaseFolded().unicode();
        if (left != right)
            return left < right ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size())
        return i < a.size() ? 1 : -1;
    return a.compare(b);
}

// The entry of the folder whose name equals the component without regard to case.
QString matchIgnoringCase(const QString& folder, const QString& component) {
    QString found;
    const DirHandle dir(
        opendir(QFile::encodeName(folder.isEmpty() ? QStringLiteral("/") : folder).constData()));
    if (!dir)
        return found;
    while (const dirent* entry = readdir(dir.get())) {
        const QString name = QFile::decodeName(entry->d_name);
        if (name.compare(component, Qt::CaseInsensitive) == 0)
            return name;
    }
    return found;
}

} // namespace

bool holdsFiles(const QString& folder) {
    bool any = false;
    forEachFile(folder, [&any](int, const char*) {
        any = true;
        return false;
    });
    return any;
}

QStringList dicomFileNames(const QString& folder) {
    QStringList names;
    forEachFile(folder, [&names](int folderFd, const char* name) {
        if (pageassets::isDicomFileAt(folderFd, name))
            names.append(QFile::decodeName(name));
        return true;
    });
    std::sort(names.begin(), names.end(), naturalLess);
    return names;
}

bool naturalLess(const QString& a, const QString& b) {
    return naturalCompare(a, b) < 0;
}

QString pathFromPageUrl(const QString& url) {
    return QString(url).remove(QStringLiteral("file://"));
}

QString resolveIgnoringCase(const QString& path) {
    if (path.isEmpty() || QFileInfo::exists(path) || !path.startsWith(QLatin1Char('/')))
        return path;
    QString resolved;
    for (const QString& component : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        const QString exact = resolved + QLatin1Char('/') + component;
        if (QFileInfo::exists(exact)) {
            resolved = exact;
            continue;
        }
        const QString match = matchIgnoringCase(resolved, component);
        if (match.isEmpty())
            return path;
        resolved += QLatin1Char('/') + match;
    }
    return resolved;
}

} // namespace studyfolder
