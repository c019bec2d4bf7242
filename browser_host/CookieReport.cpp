#include "CookieReport.h"

namespace cookiereport {

namespace {

const QString Crlf = QStringLiteral("\r\n");
const QString Separator = QStringLiteral(" |");

QString column(const QString& text, int width) {
    return text.left(width).leftJustified(width, QLatin1Char(' '));
}

QString line(const QString& name, const QString& expires, const QString& value) {
    return column(name, 30) + Separator + column(expires, 20) + Separator + column(value, 40);
}

QString block(const QString& title, const QString& lines) {
    return title + Crlf +
           line(QStringLiteral(" Name"), QStringLiteral(" Expires"), QStringLiteral(" Value")) +
           Crlf + QString(94, QLatin1Char('-')) + Crlf + lines;
}

} // namespace

QString report(const QList<Cookie>& cookies) {
    QString regular;
    QString httpOnly;
    for (const Cookie& cookie : cookies) {
        const QString expires = cookie.expires.isEmpty() ? SessionExpiry : cookie.expires;
        (cookie.httpOnly ? httpOnly : regular) += line(cookie.name, expires, cookie.value) + Crlf;
    }
    return block(QStringLiteral("Regular cookies : "), regular) + Crlf +
           block(QStringLiteral("HTTP-only cookies : "), httpOnly);
}

} // namespace cookiereport
