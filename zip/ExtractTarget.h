#pragma once

#include "zip/ZipEntry.h"

#include <QByteArrayView>
#include <QIODevice>
#include <QString>
#include <QVariant>

#include <memory>

// Where Extract puts decoded entries: files under a folder, a byte array or a stream.
class ExtractTarget {
public:
    // Files under `root`. Nothing is written outside the folder, and a file appears under its
    // own name only once its data has passed every check. `namePattern` (empty for the entry
    // names) is a file name where "*.*" stands for the entry name and "*" for it without
    // extension.
    static std::unique_ptr<ExtractTarget> folder(QString root, QString namePattern);
    // A byte array that holds the last extracted entry; it is emptied when the entry fails.
    static std::unique_ptr<ExtractTarget> bytes(QByteArray& bytes);
    // A stream that receives the data of every extracted entry in turn.
    static std::unique_ptr<ExtractTarget> stream(QIODevice& device);

    virtual ~ExtractTarget() = default;
    // The value reported as `File` with the events; an empty error means the entry may go on.
    virtual QVariant describe(const ZipEntry& entry, QString& error) = 0;
    virtual QString begin(const ZipEntry& entry, const QVariant& file) = 0;
    virtual QString write(QByteArrayView bytes) = 0;
    virtual QString commit(const ZipEntry& entry) = 0;
    // Drops what an entry that failed has written, where the target allows it.
    virtual void discard() = 0;
};
