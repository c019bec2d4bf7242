#include "ShieldRules.h"

#include <QStringList>

#include <utility>

namespace shield {

int exceptionBit(int context) {
    switch (context) {
    case 1:
        return 1;
    case 3:
        return 2;
    case 4:
        return 4;
    case 5:
        return 8;
    case 6:
        return 16;
    default:
        return 0;
    }
}

QString referenceText(const QString& pageAddress, int level) {
    QString address = pageAddress;
    address.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const qsizetype start = address.indexOf(QLatin1String("//"));
    if (start < 0)
        return {};
    const QString host = address.mid(start + 2).section(QLatin1Char('/'), 0, 0);
    const QStringList labels = host.split(QLatin1Char('.'));
    if (host.isEmpty() || level >= 3 || labels.size() < 2)
        return host;
    if (level == 2)
        return labels[labels.size() - 2] + QLatin1Char('.') + labels.last();
    return labels[labels.size() - 2];
}

int permit(int level, int exceptions, const QString& pageAddress, const QString& requestUri,
           int context) {
    if (exceptions & exceptionBit(context))
        return Allow;
    const QString reference = referenceText(pageAddress, level);
    return !reference.isEmpty() && requestUri.contains(reference) ? Allow : Block;
}

bool FilterList::add(const Filter& filter) {
    if (m_filters.contains(filter))
        return false;
    m_filters.append(filter);
    return true;
}

std::optional<FilterList::Filter> FilterList::removeFirst(const QString& text) {
    for (qsizetype i = 0; i < m_filters.size(); ++i)
        if (m_filters[i].text == text)
            return m_filters.takeAt(i);
    return std::nullopt;
}

QList<FilterList::Filter> FilterList::takeAll() {
    return std::exchange(m_filters, {});
}

QString FilterList::text() const {
    QStringList parts;
    for (const Filter& filter : m_filters)
        parts << filter.text << QString::number(filter.context);
    return parts.join(QLatin1Char('|'));
}

} // namespace shield
