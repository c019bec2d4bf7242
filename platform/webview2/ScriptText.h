#pragma once

#include <QJsonArray>
#include <QJsonDocument>
#include <QString>

namespace scripttext {

// The text as a JavaScript string literal (its JSON form), safe to splice into a script.
inline QString jsonLiteral(const QString& text) {
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

} // namespace scripttext
