#pragma once

#include "zip/ZipOptions.h"
#include "zip/ZipRecords.h"

#include <QIODevice>

#include <functional>

// Writes one entry to the archive output: local header, the encryption layer's preamble, the
// compressed and encrypted data and its trailer, then corrects the local header by seeking
// back. The header it leaves behind is the one the central directory records.
class EntryEncoder {
public:
    struct Settings {
        int level = 6; // 0 stores
        QByteArray password;
        int strength = 0; // 0 traditional, 1 to 3 WinZip AES
        Zip64Mode zip64 = Zip64Mode::WhenNeeded;
    };
    // Reports the source bytes read so far; false cancels.
    using Progress = std::function<bool(quint64 done, quint64 total)>;

    // `header` carries name, comment, flags, time, attributes and extra fields of its own (kept
    // after the Zip64 and AES fields); `output` must be seekable.
    EntryEncoder(QIODevice& output, ZipRecords::EntryHeader header, Settings settings);

    // Encodes `source` (null for a folder entry) of `sourceSize` bytes (-1 when unknown).
    // Returns an error text, empty on success.
    QString encode(QIODevice* source, qint64 sourceSize, const Progress& progress);
    ZipRecords::EntryHeader centralHeader() const;

private:
    QString write(QByteArrayView bytes);
    QString pump(QIODevice& source, qint64 sourceSize, const Progress& progress);
    QString rewriteLocalHeader();
    QByteArray extraWith(const QByteArray& zip64Field) const;

    QIODevice& m_output;
    ZipRecords::EntryHeader m_header;
    Settings m_settings;
    QByteArray m_aesExtra;
    QByteArray m_ownExtra;
    bool m_zip64Local = false;
    qint64 m_dataStart = 0;
};
