#pragma once

#include "zip/ZipEntry.h"
#include "zip/ZipRecords.h"

#include <QIODevice>
#include <QList>

#include <functional>
#include <optional>

// Loads the entry list of an archive: through the end record and the central directory, or,
// when no usable end record exists, by scanning local headers from the start.
class ZipDirectoryReader {
public:
    // Receives each problem; `canContinue` marks the problems of one entry's record, after
    // which loading may go on. Returns true to go on.
    using ErrorHandler = std::function<bool(const QString& description, bool canContinue)>;

    ZipDirectoryReader(QIODevice& device, int codePage, ErrorHandler onError);

    bool read();
    QList<ZipEntry> takeEntries() { return std::move(m_entries); }
    const QString& comment() const { return m_comment; }

private:
    struct DirectoryLocation {
        quint64 entries = 0;
        quint64 offset = 0;
        quint64 size = 0;
    };

    std::optional<ZipRecords::EndOfCentralDirectory> findEnd();
    std::optional<DirectoryLocation> locateDirectory(const ZipRecords::EndOfCentralDirectory& end);
    std::optional<DirectoryLocation>
    locateZip64Directory(const ZipRecords::EndOfCentralDirectory& end);
    bool readCentralDirectory(const DirectoryLocation& location);
    bool checkNoOverlap(quint64 directoryOffset);
    bool scanLocalHeaders();
    bool findDescriptor(qint64 dataStart, ZipRecords::EntryHeader& header, bool zip64,
                        qint64& next);
    // `host` is the "version made by" host system; local headers found by scanning have none.
    bool loadEntry(ZipRecords::EntryHeader header, qint64 recordOffset, std::optional<int> host);
    bool fail(const QString& description);

    QIODevice& m_device;
    int m_codePage;
    ErrorHandler m_onError;
    QList<ZipEntry> m_entries;
    QString m_comment;
};
