#pragma once

#include "zip/ZipOptions.h"
#include "zip/ZipRecords.h"

#include <QByteArray>
#include <QDateTime>
#include <QIODevice>
#include <QPointer>
#include <QString>
#include <QVariant>

#include <memory>
#include <variant>

// An entry queued for CompressArchive: its source is a file path, bytes or a stream; a folder
// entry (its name ends in "/") has none.
struct PendingEntry {
    std::variant<std::monostate, QString, QByteArray, QPointer<QIODevice>> source;
    QString name;
    QString comment;
    QString password;
    int strength = 0;
    int level = -1;

    // Takes `name` ("\" read as "/") and `source`: a file path, bytes or a QIODevice (as a
    // QObject*); a folder entry takes none. Returns an error text, empty on success.
    QString assign(const QVariant& source, const QString& name);
};

// A pending entry's source opened for reading, with the header fields that come from it.
struct OpenedSource {
    std::unique_ptr<QIODevice> owned;
    QIODevice* device = nullptr; // null for a folder entry
    qint64 size = -1;            // -1 when unknown
    QDateTime modified = QDateTime::currentDateTime();
    quint32 externalAttributes = 0;
    QString error; // empty when the source is open
};

OpenedSource openSource(const PendingEntry& entry);

// The header of `entry`, made on Unix: name and comment in UTF-8 with the UTF-8 flag or in
// `codePage`, as `utf8` asks; time and attributes from `source`.
ZipRecords::EntryHeader entryHeader(const PendingEntry& entry, const OpenedSource& source,
                                    int codePage, Utf8Mode utf8);
