#pragma once

#include "zip/ZipEntry.h"

#include <QByteArray>
#include <QIODevice>

#include <functional>
#include <memory>

class Inflater;
class TraditionalCipher;
class WinZipAesCipher;

// Reads one entry's data from the archive and hands the decoded bytes on: its local header,
// the decryption layer (traditional or WinZip AES, with the password check when it opens and
// the authentication code check when the data ends), inflation, the size limit and the CRC.
class EntryDecoder {
public:
    struct Callbacks {
        // Takes decoded bytes; returns an error text, empty on success.
        std::function<QString(QByteArrayView)> write;
        // Reports the compressed bytes read so far; false cancels.
        std::function<bool(quint64 done, quint64 total)> progress;
        // Reports a problem after which decoding may go on; true to go on.
        std::function<bool(const QString& description)> continueAfter;
    };

    EntryDecoder(QIODevice& archive, const ZipEntry& entry, int number, QByteArray password);
    ~EntryDecoder();

    // Returns an error text, empty on success.
    QString decode(const Callbacks& callbacks);

private:
    QString openData();
    QString openEncryption();
    QString pump(const Callbacks& callbacks);
    QString writeChecked(QByteArrayView piece, const Callbacks& callbacks);
    QString readChunk(qint64 length, QByteArray& chunk);
    QString finish();

    QIODevice& m_archive;
    const ZipEntry& m_entry;
    int m_number;
    QByteArray m_password;
    qint64 m_position = 0;
    quint64 m_remaining = 0;
    bool m_raw = false;
    quint64 m_written = 0;
    quint32 m_crc = 0;
    std::unique_ptr<TraditionalCipher> m_traditional;
    std::unique_ptr<WinZipAesCipher> m_aes;
    std::unique_ptr<Inflater> m_inflater;
    bool m_streamEnded = false;
};
