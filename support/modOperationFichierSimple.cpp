#include "modOperationFichierSimple.h"

#include "modWait.h"
#include "platform/UiServices.h"
#include "platform/automation/AutomationError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace files {

namespace {

const QChar separator = QLatin1Char('/');

QString withoutTrailingSpaces(const QString& path) {
    qsizetype end = path.size();
    while (end > 0 && path[end - 1] == QLatin1Char(' '))
        --end;
    return path.left(end);
}

// The runtime error number of a failed open for writing.
int openErrorNumber(const QString& path, int error) {
    if (path.isEmpty() || path.endsWith(separator) || path.contains(QChar(0)) ||
        error == ENAMETOOLONG)
        return vberr::BadFileName;
    if (error == ENOENT || error == ENOTDIR)
        return vberr::PathNotFound;
    if (error == EACCES || error == EPERM || error == EROFS)
        return 70;
    return 75;
}

// One write attempt; returns 0 or the runtime error number.
int writeOnce(const QString& text, const QString& path) {
    if (path.isEmpty() || path.endsWith(separator) || path.contains(QChar(0)))
        return vberr::BadFileName;
    deleteFile(path);
    std::ofstream out(QFile::encodeName(path).toStdString(), std::ios::binary | std::ios::trunc);
    if (!out)
        return openErrorNumber(path, errno);
    const QByteArray bytes = text.toUtf8();
    out.write(bytes.constData(), bytes.size());
    out.close();
    return out ? 0 : 75;
}

} // namespace

QString withTrailingSeparator(const QString& path) {
    const QString trimmed = withoutTrailingSpaces(path);
    return trimmed.endsWith(separator) ? trimmed : trimmed + separator;
}

QString withoutTrailingSeparator(const QString& path) {
    QString trimmed = withoutTrailingSpaces(path);
    if (trimmed.endsWith(separator))
        trimmed.chop(1);
    return trimmed;
}

QString fileNamePart(const QString& path) {
    return path.mid(path.lastIndexOf(separator) + 1);
}

QString folderPart(const QString& path) {
    const qsizetype last = path.lastIndexOf(separator);
    return last < 0 ? QString() : path.left(last);
}

QString extension(const QString& path) {
    const QString name = fileNamePart(path);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1);
}

bool fileExists(const QString& path) {
    const QFileInfo info(path);
    return !path.isEmpty() && info.exists() && !info.isDir();
}

bool folderExists(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isDir();
}

void createFolderTree(const QString& path) {
    const qsizetype last = path.lastIndexOf(separator);
    if (last < 0) {
        QDir().mkdir(path);
        return;
    }
    // Each prefix up to and including a separator, from the root down.
    for (qsizetype at = path.indexOf(separator, 1); at >= 0 && at <= last;
         at = path.indexOf(separator, at + 1))
        QDir().mkdir(path.left(at + 1));
}

void deleteFile(const QString& path) {
    if (fileExists(path))
        QFile::remove(path);
}

QString readTextFile(const QString& path) {
    if (!fileExists(path)) {
        waits::waitWithHourglass(3.0);
        if (!fileExists(path))
            throw AutomationError::standard(vberr::FileNotFound);
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw AutomationError::standard(vberr::PathFileAccessError);
    return QString::fromUtf8(file.readAll());
}

bool writeTextFile(const QString& text, const QString& path, bool askUser) {
    QString target = path;
    for (;;) {
        const int error = writeOnce(text, target);
        if (error == 0)
            return true;
        if (!askUser)
            return false;
        if (error != vberr::BadFileName) {
            ui::messageBox(QStringLiteral("Erreur : %1\n%2")
                               .arg(error)
                               .arg(AutomationError::standardDescription(error)),
                           ui::MsgBox::Exclamation, QStringLiteral("Erreur"));
            return false;
        }
        target = ui::inputBox(QStringLiteral("Le nom '") + target +
                                  QStringLiteral("' \nparait invalide : Merci de le corriger :"),
                              QStringLiteral("Nom Invalide..."), target);
        if (target.isEmpty())
            return false;
    }
}

} // namespace files
