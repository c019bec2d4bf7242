#pragma once

#include <QString>

#include <cstdint>
#include <optional>

// Reading the content of a page message. Values are taken as the page wrote
// them: "key":"value", up to the next double quote, with no unescaping.
namespace pagemessage {

// The value of key; empty when the key is absent; nothing when the value has
// no closing quote (the message is then not handled further).
std::optional<QString> value(const QString& content, const QString& key);

// Locale-aware conversions of decimal text; nothing when the text is empty,
// not a number or out of range. Fractions round half to even.
std::optional<std::int16_t> toInteger(const QString& text);
std::optional<std::int32_t> toLong(const QString& text);
std::optional<double> toDouble(const QString& text);
// The longest leading number of the text, read with "." as decimal
// separator after leading blanks; 0 when there is none.
double numericPrefix(const QString& text);

} // namespace pagemessage
