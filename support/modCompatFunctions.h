#pragma once

#include <QByteArray>
#include <QString>

// Text encodings used at the browser boundary.
namespace encoding {

QString fromUtf8(const QByteArray& bytes);
QByteArray toUtf8(const QString& text);
// The text's UTF-8 bytes in Base64, without line breaks.
QString base64Encode(const QString& text);
// The Base64 text decoded and read as UTF-8; empty when it is not valid Base64.
QString base64Decode(const QString& base64);

} // namespace encoding
