#pragma once

#include "platform/automation/Variant.h"

#include <QString>

// JSON as the binding exchanges it with pages: objects decode into
// Collections, arrays into 0-based arrays, whole numbers that fit into Longs.
namespace json {

// The JSON text of a value; raises 13 for an object that is not a Collection.
QString encode(const Variant& value);
// A JSON string literal: quotes, backslashes, \n \r \t escaped; every code
// unit below 0x20 or from 0x8000 up as \uXXXX (upper-case hexadecimal).
QString quote(const QString& text);
// Decodes one value starting at the 1-based position, which it advances.
// The reader is lenient (separators are not verified) but always ends; input
// nested deeper than a fixed limit raises error 5 instead of exhausting the stack.
Variant parse(const QString& text, qsizetype& position);
Variant parse(const QString& text);
// The keys of a Collection in item order joined by "#".
QString collectionKeys(const Variant& collection);

} // namespace json
