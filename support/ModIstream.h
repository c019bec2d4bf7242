#pragma once

#include <QIODevice>
#include <QString>

#include <memory>

namespace streams {

// A read-only stream over the text's UTF-8 bytes (request bodies).
std::unique_ptr<QIODevice> textToStream(const QString& text);

} // namespace streams
