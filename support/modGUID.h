#pragma once

#include <QString>

namespace guidtext {

// A new GUID as upper-case hexadecimal, "{...}" with braces or bare without;
// random, or sequential (time-ordered) when random is false.
QString newGuid(bool random = true, bool braces = true);

} // namespace guidtext
