#include "zip/FolderWalk.h"

#include "zip/EntryPath.h"

#include <QDir>
#include <QFileInfo>
#include <QQueue>

namespace {

struct Start {
    QDir root;
    QString mask;
    QString prefix; // the target folder, ending in "/" unless empty
};

Start startOf(const QString& folderAndMask, const QString& targetFolder) {
    QString root = folderAndMask;
    QString mask = QStringLiteral("*");
    if (!QFileInfo(folderAndMask).isDir()) {
        const qsizetype slash = folderAndMask.lastIndexOf(QLatin1Char('/'));
        root = slash < 0 ? QStringLiteral(".") : folderAndMask.left(slash);
        mask = folderAndMask.mid(slash + 1);
    }
    QString prefix = QString(targetFolder).replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!prefix.isEmpty() && !prefix.endsWith(QLatin1Char('/')))
        prefix += QLatin1Char('/');
    return {QDir(root.isEmpty() ? QStringLiteral("/") : root), mask, prefix};
}

} // namespace

QList<FolderItem> walkFolder(const QString& folderAndMask, bool recursive,
                             const QString& targetFolder, bool includeEmptyFolders) {
    const Start start = startOf(folderAndMask, targetFolder);
    QList<FolderItem> items;
    QQueue<QString> folders;
    folders.enqueue(start.root.absolutePath());
    while (!folders.isEmpty()) {
        const QDir folder(folders.dequeue());
        const QString relative = start.root.relativeFilePath(folder.absolutePath());
        const QString namePrefix =
            start.prefix +
            (relative == QLatin1String(".") ? QString() : relative + QLatin1Char('/'));
        const qsizetype before = items.size();
        const auto files = folder.entryInfoList(QDir::Files | QDir::Hidden, QDir::Name);
        for (const QFileInfo& info : files)
            if (EntryPath::matchesFileSpec(info.fileName(), start.mask))
                items.append({info.absoluteFilePath(), namePrefix + info.fileName()});
        if (includeEmptyFolders && items.size() == before && !namePrefix.isEmpty())
            items.append({QString(), namePrefix});
        if (!recursive)
            continue;
        const auto subfolders = folder.entryInfoList(
            QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks, QDir::Name);
        for (const QFileInfo& info : subfolders)
            folders.enqueue(info.absoluteFilePath());
    }
    return items;
}
