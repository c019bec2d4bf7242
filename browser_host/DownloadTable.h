#pragma once

#include "webview2_binding/Collection.h"

#include <QDateTime>
#include <QString>

// The control's downloads by key: a key is the destination's file name, "§"
// and the start time to the second, so a second download to the same
// destination within the same second is refused. Entries are never removed.
class DownloadTable {
public:
    static QString keyFor(const QString& destination, const QDateTime& when);
    // The file name part of a key: its text before the first "§".
    static QString fileNamePart(const QString& key);

    // Raises the collection's duplicate-key error (457) when the key is taken.
    void add(const QString& key, const QString& destination);
    // Empty for an unknown key.
    QString destination(const QString& key) const;

private:
    Collection m_entries;
};
