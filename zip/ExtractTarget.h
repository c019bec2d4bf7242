#pragma once

#include "zip/ZipEntry.h"

#include <QByteArrayView>
#include <QIODevice>
#include <QSaveFile>
#include <QString>
#include <QVariant>

#include <memory>

// Where Extract puts decoded entries: files under a folder, a byte array or a stream.
class ExtractTarget {
public:
    virtual ~ExtractTarget() = default;
    // The value reported as `File` with the events; an empty error means the entry may go on.
    virtual QVariant describe(const ZipEntry& entry, QString& error) = 0;
    virtual QString begin(const ZipEntry& entry, const QVariant& file) = 0;
    virtual QString write(QByteArrayView bytes) = 0;
    virtual QString commit(const ZipEntry& entry) = 0;
    // Drops what an entry that failed has written, where the target allows it.
    virtual void discard() = 0;
};

// Files under a folder. Nothing is written outside the folder, and a file appears under its
// own name only once its data has passed every check.
class FolderTarget : public ExtractTarget {
public:
    // `namePattern` (empty for the entry names) is a file name where "*.*" stands for the entry
    // name and "*" for it without extension.
    FolderTarget(QString root, QString namePattern);

    QVariant describe(const ZipEntry& entry, QString& error) override;
    QString begin(const ZipEntry& entry, const QVariant& file) override;
    QString write(QByteArrayView bytes) override;
    QString commit(const ZipEntry& entry) override;
    void discard() override;

private:
    QString outputName(const ZipEntry& entry) const;
    QString makeFolder(const QString& folder) const;

    QString m_root;
    QString m_pattern;
    std::unique_ptr<QSaveFile> m_file;
};

// A byte array that holds the last extracted entry; it is emptied when the entry fails.
class BytesTarget : public ExtractTarget {
public:
    explicit BytesTarget(QByteArray& bytes);

    QVariant describe(const ZipEntry& entry, QString& error) override;
    QString begin(const ZipEntry& entry, const QVariant& file) override;
    QString write(QByteArrayView bytes) override;
    QString commit(const ZipEntry& entry) override;
    void discard() override;

private:
    QByteArray& m_bytes;
};

// A stream that receives the data of every extracted entry in turn.
class StreamTarget : public ExtractTarget {
public:
    explicit StreamTarget(QIODevice& device);

    QVariant describe(const ZipEntry& entry, QString& error) override;
    QString begin(const ZipEntry& entry, const QVariant& file) override;
    QString write(QByteArrayView bytes) override;
    QString commit(const ZipEntry& entry) override;
    void discard() override;

private:
    QIODevice& m_device;
};
