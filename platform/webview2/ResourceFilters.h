#pragma once

#include "WebView2.h"

#include <QList>
#include <QRegularExpression>
#include <QString>

// The filters of AddWebResourceRequestedFilter: which requests a view reports with
// WebResourceRequested. A filter's address may hold "*" (any text) and "?" (one character) and
// matches without regard to case.
class ResourceFilters {
public:
    HRESULT add(const QString& uri, COREWEBVIEW2_WEB_RESOURCE_CONTEXT context);
    // Removes the filters added with the same address and context.
    HRESULT remove(const QString& uri, COREWEBVIEW2_WEB_RESOURCE_CONTEXT context);
    bool matches(const QString& uri, COREWEBVIEW2_WEB_RESOURCE_CONTEXT context) const;

private:
    struct Filter {
        QString uri;
        QRegularExpression pattern;
        COREWEBVIEW2_WEB_RESOURCE_CONTEXT context;
    };

    QList<Filter> m_filters;
};
