#include "ResourceFilters.h"

#include <algorithm>

namespace {

QRegularExpression wildcardPattern(const QString& wildcard) {
    QString pattern;
    for (const QChar c : wildcard) {
        if (c == QLatin1Char('*'))
            pattern += QLatin1String(".*");
        else if (c == QLatin1Char('?'))
            pattern += QLatin1Char('.');
        else
            pattern += QRegularExpression::escape(QString(c));
    }
    return QRegularExpression(QRegularExpression::anchoredPattern(pattern),
                              QRegularExpression::CaseInsensitiveOption);
}

} // namespace

HRESULT ResourceFilters::add(const QString& uri, COREWEBVIEW2_WEB_RESOURCE_CONTEXT context) {
    if (context < COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL ||
        context > COREWEBVIEW2_WEB_RESOURCE_CONTEXT_OTHER)
        return hr::E_INVALIDARG;
    m_filters.append({uri, wildcardPattern(uri), context});
    return hr::S_OK;
}

HRESULT ResourceFilters::remove(const QString& uri, COREWEBVIEW2_WEB_RESOURCE_CONTEXT context) {
    const auto removed = m_filters.removeIf(
        [&](const Filter& filter) { return filter.uri == uri && filter.context == context; });
    return removed ? hr::S_OK : hr::E_INVALIDARG;
}

bool ResourceFilters::matches(const QString& uri, COREWEBVIEW2_WEB_RESOURCE_CONTEXT context) const {
    return std::any_of(m_filters.cbegin(), m_filters.cend(), [&](const Filter& filter) {
        return (filter.context == COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL ||
                filter.context == context) &&
               filter.pattern.match(uri).hasMatch();
    });
}
