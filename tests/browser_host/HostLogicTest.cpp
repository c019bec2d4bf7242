// The browser host's logic that needs no browser: texts per language, address
// building, JSON field extraction and persistence.

#include "browser_host/PersistedProperties.h"
#include "browser_host/modKWVJson.h"
#include "browser_host/modKWVLanguage.h"
#include "browser_host/modKWVUrl.h"

#include "platform/automation/AutomationError.h"
#include "platform/automation/ControlSite.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using namespace kwvlanguage;

TEST(Languages, LocaleIdsChooseTheLanguage) {
    const struct {
        std::uint32_t lcid;
        Language language;
    } rows[] = {
        {1033, Language::English},    {3082, Language::English}, {4103, Language::English},
        {5127, Language::German},     {1031, Language::German},  {20490, Language::Spanish},
        {1034, Language::Spanish},    {3084, Language::French},  {5132, Language::French},
        {2064, Language::Italian},    {2067, Language::Dutch},   {1046, Language::Portuguese},
        {2070, Language::Portuguese}, {0, Language::English},
    };
    for (const auto& row : rows)
        EXPECT_EQ(languageOf(row.lcid), row.language) << row.lcid;
}

TEST(Languages, SharedTextsFollowTheLastSetUp) {
    const struct {
        std::uint32_t lcid;
        const char* failed;
        const char* invalid;
        const char* notInit;
        const char* selectTitle;
    } rows[] = {
        {1033, "Unable to initialize the browser!", "Invalid URL !", "Control not initialised !",
         "Select File..."},
        {1031, "Browser kann nicht initialisiert werden!", "Ungültige URL!",
         "COM-Komponent nicht initialisiert!", "Datei auswählen..."},
        {1034, "¡No se puede inicializar el navegador!", "¡URL no válida!",
         "Control no inicializado", "Seleccionar archivo..."},
        {1036, "Impossible d'initialiser le navigateur!", "URL invalide!",
         "Contrôle non initialisé", "Sélectionner un fichier..."},
        {1040, "Impossibile inizializzare il browser!", "URL non valido!",
         "Controllo non inizializzato!", "Seleziona file..."},
        {1043, "Kan de browser niet initialiseren!", "Ongeldige URL!",
         "Besturingselement niet geïnitialiseerd", "Bestand selecteren..."},
        {2070, "Impossível inicializar o navegador!", "URL inválido!", "Controle não inicializado",
         "Selecionar arquivo..."},
    };
    for (const auto& row : rows) {
        setLanguage(row.lcid);
        EXPECT_EQ(texts().failedStartup, QString::fromUtf8(row.failed)) << row.lcid;
        EXPECT_EQ(texts().invalidUrl, QString::fromUtf8(row.invalid)) << row.lcid;
        EXPECT_EQ(texts().notInitialised, QString::fromUtf8(row.notInit)) << row.lcid;
        EXPECT_EQ(texts().fileSelectTitle, QString::fromUtf8(row.selectTitle)) << row.lcid;
    }
    setLanguage(1036);
    EXPECT_EQ(texts().downloadTitle, "Téléchargements...");
    EXPECT_EQ(texts().downloadAllFilesSuffix, "|Tous les fichiers (*.*)|*.*");
    EXPECT_TRUE(texts().fileSelectFilter.startsWith("Fichiers Internet|*.html;"));
    EXPECT_TRUE(texts().fileSelectFilter.endsWith("|Tous les fichiers|*.*"));
    // Every filter is made of description and pattern pairs.
    for (int language = 0; language <= static_cast<int>(Language::Portuguese); ++language)
        EXPECT_EQ(textsFor(static_cast<Language>(language)).fileSelectFilter.count('|'), 9);
}

TEST(Addresses, EncodingAndDecoding) {
    EXPECT_EQ(kwvurl::urlEncodeUtf8("a b"), "a%20b");
    EXPECT_EQ(kwvurl::urlEncodeUtf8("x?q=a b"), "x?q=a b");
    EXPECT_EQ(kwvurl::urlEncodeUtf8("https://h.org/p?x=1&y=é#f*"),
              "https://h.org/p?x=1&y=%C3%A9#f*");
    EXPECT_EQ(kwvurl::urlEncodeUtf8(QString(QChar(0xD83D))), "%ED%A0%BD");
    EXPECT_EQ(kwvurl::urlEncodeUtf8("\"<"), "%22<");

    EXPECT_EQ(kwvurl::urlEncode("a b/c.d:é&", true), "a+b/c.d:%C3%A9%26");
    EXPECT_EQ(kwvurl::urlEncode("a b", false), "a%20b");

    const struct {
        const char* in;
        const char* out;
    } decodes[] = {
        {"", ""},         {"a%20b+c", "a b c"}, {"%E2%82%AC", "€"},
        {"100%", "100%"}, {"x%4", "x%4"},       {"%41%zz", "A"},
    };
    for (const auto& row : decodes) {
        QString expected = QString::fromUtf8(row.out);
        if (QByteArray(row.in) == "%41%zz")
            expected += QChar(0);
        EXPECT_EQ(kwvurl::decodeUri(row.in), expected) << row.in;
    }
}

TEST(Addresses, CompletionAndSearch) {
    const QString engine = kwvurl::searchTemplate(1, {});
    EXPECT_EQ(engine, "https://duckduckgo.com/?q=%1&t=web");
    EXPECT_EQ(kwvurl::searchTemplate(0, "https://s/?w=%1"), "https://s/?w=%1");
    EXPECT_EQ(kwvurl::searchTemplate(9, {}), kwvurl::searchTemplate(4, {}));

    QTemporaryDir site;
    QFile home(QDir(site.path()).filePath("home.htm"));
    ASSERT_TRUE(home.open(QIODevice::WriteOnly));
    home.close();

    const struct {
        const char* typed;
        const char* result;
    } rows[] = {
        {"kittens", "https://duckduckgo.com/?q=kittens&t=web"},
        {"example.org", "https://example.org"},
        {"http://a.b/c%20d", "http://a.b/c d"},
        {"about:blank", "about:blank"},
        {"App.Local", "https://App.Local/home.htm"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(kwvurl::completeAddress(row.typed, engine, "app.local", site.path()), row.result)
            << row.typed;

    EXPECT_EQ(kwvurl::autoSearchAddress("two   words", engine),
              "https://duckduckgo.com/?q=two+words&t=web");
    EXPECT_EQ(kwvurl::displayAddress("https://a.org/x%20y http://b"), "a.org/x y b");
}

TEST(JsonValues, TextSearchCases) {
    const QString json = R"({"a":"x","b":2,"c":true})";
    EXPECT_EQ(kwvjson::extractJsonValue(json, "b"), Variant(2.0));
    EXPECT_EQ(kwvjson::extractJsonValue(json, "a"), Variant("x"));
    EXPECT_TRUE(kwvjson::extractJsonValue(json, "z").isEmpty());
    try {
        kwvjson::extractJsonValue(json, "c");
        ADD_FAILURE() << "no error for a last unquoted member";
    } catch (const AutomationError& error) {
        EXPECT_EQ(error.number(), 5);
    }

    const struct {
        const char* json;
        const char* key;
        Variant value;
    } rows[] = {
        {R"({"c":true,"d":1})", "c", Variant(true)},
        {R"({"c":FALSE,"d":1})", "c", Variant(false)},
        {R"({"c": true,"d":1})", "c", Variant(" true")},
        {R"({"o":{"k":"inner"},"k":"outer"})", "k", Variant("inner")},
        {R"({"n":-1.5e2,"d":1})", "n", Variant(-150.0)},
        {R"({"n":inf,"d":1})", "n", Variant("inf")},
    };
    for (const auto& row : rows)
        EXPECT_EQ(kwvjson::extractJsonValue(row.json, row.key), row.value) << row.json;
    EXPECT_THROW(kwvjson::extractJsonValue(R"({"a":"open)", "a"), AutomationError);
}

TEST(Persistence, NewControlWritesWhatDiffersFromMissing) {
    PersistedProperties properties;
    PropertyBag bag;
    properties.save(bag);
    EXPECT_EQ(bag.keys(), QStringList({"Search_URL", "IsScriptEnabled", "UseEdgeFixedVersion"}));
    EXPECT_EQ(bag.read("IsScriptEnabled"), Variant(false));
    EXPECT_EQ(bag.read("UseEdgeFixedVersion"), Variant(true));
    EXPECT_EQ(bag.read("Search_URL"), Variant(""));
}

TEST(Persistence, MissingKeysTakeTheirMissingValues) {
    PropertyBag bag;
    bag.write("homeurl", Variant("https://home.example"));
    PersistedProperties properties;
    properties.load(bag, false);
    EXPECT_EQ(properties.text(PersistedProperties::HomeURL), "https://home.example");
    for (const auto& definition : PersistedProperties::definitions()) {
        if (definition.id == PersistedProperties::HomeURL)
            continue;
        EXPECT_EQ(properties.value(definition.id), definition.missingValue) << definition.key;
    }
    EXPECT_EQ(properties.text(PersistedProperties::Search_URL),
              "https://duckduckgo.com/?q=%1&t=web");
    EXPECT_FALSE(properties.flag(PersistedProperties::UseEdgeFixedVersion));
    EXPECT_TRUE(properties.flag(PersistedProperties::IsScriptEnabled));

    PropertyBag saved;
    properties.save(saved);
    EXPECT_EQ(saved.keys(), QStringList({"HomeURL"}));
}

TEST(Persistence, TypesTimeOutAndCraftedValues) {
    PersistedProperties properties;
    properties.set(PersistedProperties::InitTimeOut, Variant(3.0));
    EXPECT_EQ(properties.value(PersistedProperties::InitTimeOut), Variant(8.0));
    properties.set(PersistedProperties::InitTimeOut, Variant("20"));
    EXPECT_EQ(properties.value(PersistedProperties::InitTimeOut), Variant(20.0));

    PropertyBag bag;
    bag.write("Anchor", Variant(true));
    bag.write("SearchEngine", Variant("not a number"));
    bag.write("BorderStyle", Variant(std::int32_t(1)));
    properties.load(bag, false);
    EXPECT_FALSE(properties.flag(PersistedProperties::Anchor));
    EXPECT_EQ(properties.value(PersistedProperties::SearchEngine), Variant(std::int32_t(1)));
    EXPECT_EQ(properties.value(PersistedProperties::BorderStyle), Variant(std::int16_t(1)));
    properties.load(bag, true);
    EXPECT_TRUE(properties.flag(PersistedProperties::Anchor));
}

} // namespace
