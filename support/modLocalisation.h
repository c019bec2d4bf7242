#pragma once

#include <QString>

#include <cstdint>

// The viewer's language: Locale.ini sections name the supported languages.
namespace localisation {

// The language code to use: the given code, or the user's when it is empty,
// kept only when Locale.ini has a non-empty "lang" key in its section; "en"
// otherwise.
QString chooseLanguage(const QString& code, const QString& localeIniPath);
// The language tag of a Windows locale identifier, "en" for one not in the
// table. Only its first two characters are used.
QString languageTag(std::uint32_t lcid);
// The tag of the user's locale.
QString userLanguageTag();

// The default filter of the file-open dialog, and the key that overrides it.
QString openDialogFilter(const QString& language, const QString& localeIniPath);

} // namespace localisation
