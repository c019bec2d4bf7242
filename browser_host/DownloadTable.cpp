#include "DownloadTable.h"

namespace {

const QChar KeySeparator(0x00A7); // "§"

} // namespace

QString DownloadTable::keyFor(const QString& destination, const QDateTime& when) {
    const QString name = destination.mid(destination.lastIndexOf(QLatin1Char('/')) + 1);
    return name + KeySeparator + when.toString(QStringLiteral("yyyyMMddHHmmss"));
}

QString DownloadTable::fileNamePart(const QString& key) {
    return key.section(KeySeparator, 0, 0);
}

void DownloadTable::add(const QString& key, const QString& destination) {
    m_entries.add(Variant(destination), key);
}

QString DownloadTable::destination(const QString& key) const {
    return m_entries.contains(key) ? m_entries.item(key).toString() : QString();
}
