#pragma once

#include <QString>

// Address encoding, decoding, completion and search templates of the browser host.
namespace kwvurl {

// The search template of an engine; "%1" stands for the search text. Engine 0
// is the custom template; values outside 0 to 5 give engine 4's template.
QString searchTemplate(int engine, const QString& customTemplate);
inline constexpr int DefaultEngine = 1;

// Each UTF-8 byte kept when it is "$" to ">", "@" to "~", "?", "#" or "*",
// else written "%XX". Texts that already hold a search query are kept as they are.
QString urlEncodeUtf8(const QString& text);
// ".", "/", ":", "\", digits and letters kept; a blank as "+" or "%20"; every
// other byte (UTF-8 here) written "%XX".
QString urlEncode(const QString& text, bool plusForSpace);
// "+" as a blank, "%XX" escapes as bytes, the result read as UTF-8.
QString decodeUri(const QString& encoded);

// A typed address made complete: the default document of the mapped virtual
// host, "https://" before a dotted host, a search for anything else; then decoded.
QString completeAddress(const QString& address, const QString& activeTemplate,
                        const QString& virtualHost, const QString& virtualFolder);
// The search address for text the browser could not open: blanks as single "+".
QString autoSearchAddress(const QString& text, const QString& activeTemplate);
// The address without its "http://" and "https://" parts, decoded.
QString displayAddress(const QString& address);

} // namespace kwvurl
