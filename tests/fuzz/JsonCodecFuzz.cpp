// The JSON codec on arbitrary text: parsing always ends, raising at most error 5 (nesting too
// deep), and what it produces encodes to a text that parses back to the same encoding.

#include "FuzzSupport.h"

#include "platform/automation/AutomationError.h"
#include "webview2_binding/JsonCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = fuzz::textOf(data, size);
    Variant value;
    try {
        value = json::parse(text);
    } catch (const AutomationError& error) {
        fuzz::require(error.number() == vberr::InvalidProcedureCall, "parsing raises only error 5");
        return 0;
    }
    const QString encoded = json::encode(value);
    fuzz::require(json::encode(json::parse(encoded)) == encoded,
                  "an encoded value parses back to the same encoding");
    qsizetype position = 1;
    json::parse(encoded, position);
    fuzz::require(position == encoded.size() + 1, "parsing an encoding consumes all of it");
    return 0;
}
