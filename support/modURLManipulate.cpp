#include "modURLManipulate.h"

namespace urls {

QString backslashesToSlashes(const QString& url) {
    QString result = url;
    return result.replace(QLatin1Char('\\'), QLatin1Char('/'));
}

QString lastDotPart(const QString& url) {
    const qsizetype dot = url.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : url.mid(dot + 1);
}

} // namespace urls
