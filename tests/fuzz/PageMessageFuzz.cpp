// The viewer's page-message reading: the first line of the input is a key, the rest the
// message content. Values and conversions always end, a value never holds a double quote, and
// the conversions agree with each other on what they accept.

#include "FuzzSupport.h"

#include "viewer/PageMessage.h"

#include <cmath>

namespace {

// Keys the viewer reads from its pages' messages.
const char* const ViewerKeys[] = {"nom",    "frame",  "totalFrames", "largeur",      "hauteur",
                                  "pixelX", "pixelY", "pixelValue",  "pixelSpacing", "dpr"};

void checkConversions(const QString& text) {
    const auto integer = pagemessage::toInteger(text);
    const auto whole = pagemessage::toLong(text);
    const auto real = pagemessage::toDouble(text);
    fuzz::require(!integer || (whole && *whole == *integer),
                  "an Integer is also a Long of the same value");
    fuzz::require(!whole || real, "a Long is also a Double");
    fuzz::require(!whole || std::abs(*real - double(*whole)) <= 0.5,
                  "a Long is its Double rounded");
    pagemessage::numericPrefix(text);
}

void checkValue(const QString& content, const QString& key) {
    const auto value = pagemessage::value(content, key);
    if (!value)
        return;
    fuzz::require(!value->contains(QLatin1Char('"')), "a value holds no double quote");
    checkConversions(*value);
    for (const QString& part : value->split(QStringLiteral("//")))
        checkConversions(part);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto [key, content] = fuzz::splitFirstLine(data, size);
    checkValue(content, key);
    for (const char* viewerKey : ViewerKeys)
        checkValue(content, QLatin1String(viewerKey));
    checkConversions(key);
    return 0;
}
