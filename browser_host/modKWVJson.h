#pragma once

#include "platform/automation/Variant.h"

#include <QString>

// Field extraction from the JSON texts pages send: a text search, not a parser.
namespace kwvjson {

// The value of the first "key": in the text, whatever its nesting. A quoted
// value runs to the next double quote; an unquoted one to the next comma and
// becomes True, False, a Double or the raw text. Empty when the key is absent;
// error 5 when the value has no end.
Variant extractJsonValue(const QString& json, const QString& key);

} // namespace kwvjson
