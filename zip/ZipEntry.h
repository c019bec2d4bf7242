#pragma once

#include <QDateTime>
#include <QString>

// One entry of an opened archive, as the central directory (or its local header) describes it.
struct ZipEntry {
    QString fileName; // "/" separated; a folder ends in "/"
    quint32 attributes = 0;
    quint32 crc32 = 0;
    quint64 size = 0;
    quint64 compressedSize = 0;
    QString comment;
    QDateTime lastModified;
    int method = 0; // the actual method, also for WinZip AES entries
    quint64 offset = 0;
    quint16 flags = 0;
    quint16 madeBy = 0;
    int aesStrength = 0;      // 1, 2 or 3 for WinZip AES entries, else 0
    int aesVendorVersion = 0; // 1 (AE-1) or 2 (AE-2)
    quint8 checkByte = 0;     // last byte of the traditional encryption header

    bool isFolder() const { return fileName.endsWith(QLatin1Char('/')); }
    bool isEncrypted() const { return flags & 1u; }
    // A Unix symbolic link: made on Unix with the link file type in the high attribute word.
    bool isSymbolicLink() const {
        constexpr quint32 typeMask = 0170000, linkType = 0120000;
        return (madeBy >> 8) == 3 && ((attributes >> 16) & typeMask) == linkType;
    }
};
