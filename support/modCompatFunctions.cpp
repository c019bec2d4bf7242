#include "modCompatFunctions.h"

namespace encoding {

QString fromUtf8(const QByteArray& bytes) {
    return QString::fromUtf8(bytes);
}

QByteArray toUtf8(const QString& text) {
    return text.toUtf8();
}

QString base64Encode(const QString& text) {
    return QString::fromLatin1(text.toUtf8().toBase64());
}

QString base64Decode(const QString& base64) {
    // Line breaks and blanks in the input are tolerated, as a Base64 reader does.
    QByteArray compact = base64.toLatin1();
    compact.replace(' ', QByteArray()).replace('\r', QByteArray()).replace('\n', QByteArray());
    const auto decoded =
        QByteArray::fromBase64Encoding(compact, QByteArray::AbortOnBase64DecodingErrors);
    return decoded ? QString::fromUtf8(*decoded) : QString();
}

} // namespace encoding
