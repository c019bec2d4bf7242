// The browser host's field extraction: the first line of the input is the key, the rest the
// JSON text. It always ends, raises at most error 5, and finds nothing when the key is absent.

#include "FuzzSupport.h"

#include "browser_host/modKWVJson.h"
#include "platform/automation/AutomationError.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto [key, json] = fuzz::splitFirstLine(data, size);
    Variant value;
    try {
        value = kwvjson::extractJsonValue(json, key);
    } catch (const AutomationError& error) {
        fuzz::require(error.number() == vberr::InvalidProcedureCall,
                      "extraction raises only error 5");
        return 0;
    }
    const bool keyPresent = json.contains(QLatin1Char('"') + key + QStringLiteral("\":"));
    fuzz::require(keyPresent || value.isEmpty(), "an absent key gives Empty");
    fuzz::require(!keyPresent || !value.isEmpty(), "a present key gives a value");
    return 0;
}
