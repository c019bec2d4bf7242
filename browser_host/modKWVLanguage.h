#pragma once

#include <QString>

#include <cstdint>

// The language-dependent texts of the browser host: start-up failure, invalid
// address and uninitialised control messages, and the texts of its two file
// dialogs. One set serves every browser host of the library; the last call of
// setLanguage wins.
namespace kwvlanguage {

enum class Language { English, German, Spanish, French, Italian, Dutch, Portuguese };

struct Texts {
    QString failedStartup;
    QString invalidUrl;
    QString notInitialised;
    QString downloadTitle;
    QString downloadAllFilesSuffix;
    QString fileSelectTitle;
    QString fileSelectFilter;
};

Language languageOf(std::uint32_t localeId);
Texts textsFor(Language language);

// Fills the shared texts for a locale ID; IDs without a language of their own give English.
void setLanguage(std::uint32_t localeId);
// The shared texts; empty before the first setLanguage.
const Texts& texts();

} // namespace kwvlanguage
