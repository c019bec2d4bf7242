#include "modGUID.h"

#include "platform/Guid.h"

namespace guidtext {

QString newGuid(bool random, bool braces) {
    const Guid guid = random ? Guid::createRandom() : Guid::createSequential();
    return guid.toString(braces);
}

} // namespace guidtext
