#pragma once

#include <QList>
#include <QString>

// The readable report of a document's cookies: regular and HTTP-only cookies
// in two blocks, each a table of name, expiry and value in columns of 30, 20
// and 40 characters (cut or padded with blanks), lines ending in CRLF.
namespace cookiereport {

struct Cookie {
    QString name;
    QString expires; // empty for a session cookie
    QString value;
    bool httpOnly = false;
};

// What a session cookie shows in the expiry column.
inline const QString SessionExpiry = QStringLiteral("Session");

QString report(const QList<Cookie>& cookies);

} // namespace cookiereport
