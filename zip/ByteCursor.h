#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

// Bounds-checked little-endian reader over one record of an archive. A read past the end
// leaves the cursor failed; the first failure is kept with the field name and offset, so a
// reader can run a chain of reads and check once.
class ByteCursor {
public:
    // `base` is the archive offset of the first byte, used only for error texts.
    ByteCursor(QByteArray data, qint64 base, QString record);

    quint8 u8(const char* field);
    quint16 u16(const char* field);
    quint32 u32(const char* field);
    quint64 u64(const char* field);
    QByteArray bytes(qsizetype count, const char* field);
    void skip(qsizetype count, const char* field);

    bool ok() const { return m_error.isEmpty(); }
    const QString& error() const { return m_error; }
    qsizetype position() const { return m_pos; }
    qsizetype remaining() const { return m_data.size() - m_pos; }

private:
    bool take(qsizetype count, const char* field);

    QByteArray m_data;
    qint64 m_base;
    QString m_record;
    qsizetype m_pos = 0;
    QString m_error;
};
