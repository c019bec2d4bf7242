#pragma once

#include <QList>
#include <QString>

// A file or an empty folder that AddFromFolder queues.
struct FolderItem {
    QString path; // empty for a folder entry
    QString name; // the entry name, "/" separated
};

// The files that `folderAndMask` ("folder/mask"; a folder alone means every file in it) matches,
// breadth first and by name, named below `targetFolder`; with `recursive` also those of the
// subfolders, and with `includeEmptyFolders` an entry for each folder below the top that adds
// no file. Linked folders are not followed, so a link cannot make the walk loop or escape.
QList<FolderItem> walkFolder(const QString& folderAndMask, bool recursive,
                             const QString& targetFolder, bool includeEmptyFolders);
