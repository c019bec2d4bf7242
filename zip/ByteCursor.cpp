#include "zip/ByteCursor.h"

ByteCursor::ByteCursor(QByteArray data, qint64 base, QString record)
    : m_data(std::move(data))
    , m_base(base)
    , m_record(std::move(record)) {
}

bool ByteCursor::take(qsizetype count, const char* field) {
    if (!ok())
        return false;
    if (count < 0 || count > remaining()) {
        m_error = QStringLiteral("%1 at offset 0x%2: %3 (%4 bytes) exceeds the record")
                      .arg(m_record)
                      .arg(m_base + m_pos, 0, 16)
                      .arg(QLatin1String(field))
                      .arg(count);
        return false;
    }
    return true;
}

quint8 ByteCursor::u8(const char* field) {
    if (!take(1, field))
        return 0;
    return static_cast<quint8>(m_data[m_pos++]);
}

quint16 ByteCursor::u16(const char* field) {
    if (!take(2, field))
        return 0;
    quint16 value = 0;
    for (int i = 1; i >= 0; --i)
        value = static_cast<quint16>((value << 8) | static_cast<quint8>(m_data[m_pos + i]));
    m_pos += 2;
    return value;
}

quint32 ByteCursor::u32(const char* field) {
    if (!take(4, field))
        return 0;
    quint32 value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<quint8>(m_data[m_pos + i]);
    m_pos += 4;
    return value;
}

quint64 ByteCursor::u64(const char* field) {
    if (!take(8, field))
        return 0;
    quint64 value = 0;
    for (int i = 7; i >= 0; --i)
        value = (value << 8) | static_cast<quint8>(m_data[m_pos + i]);
    m_pos += 8;
    return value;
}

QByteArray ByteCursor::bytes(qsizetype count, const char* field) {
    if (!take(count, field))
        return {};
    QByteArray out = m_data.mid(m_pos, count);
    m_pos += count;
    return out;
}

void ByteCursor::skip(qsizetype count, const char* field) {
    if (take(count, field))
        m_pos += count;
}
