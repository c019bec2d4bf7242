#include "ModIstream.h"

#include <QBuffer>

namespace streams {

std::unique_ptr<QIODevice> textToStream(const QString& text) {
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(text.toUtf8());
    buffer->open(QIODevice::ReadOnly);
    return buffer;
}

} // namespace streams
