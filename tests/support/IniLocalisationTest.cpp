#include "support/modConfig.h"
#include "support/modIni.h"
#include "support/modLocalisation.h"
#include "tests/common/TempEnvironment.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using testing_support::TempEnvironment;

QString writeLocaleIni(const QTemporaryDir& dir, const QByteArray& content) {
    const QString path = dir.filePath("Locale.ini");
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
    return path;
}

TEST(Ini, ReadsAtMost254CharactersAndWritesNewFiles) {
    QTemporaryDir dir;
    const QString path = dir.filePath("x.ini");
    ini::writeValue("S", "Long", QString(300, 'v'), path);
    EXPECT_EQ(ini::readValue("S", "Long", {}, path), QString(254, 'v'));
    EXPECT_EQ(ini::readValue("S", "None", "dflt", path), QStringLiteral("dflt"));
    ini::writeValue("S", "K", "v", dir.filePath("absent/x.ini")); // no error, nothing written
    EXPECT_FALSE(QFile::exists(dir.filePath("absent")));
}

TEST(Localisation, LanguageTagOfLocaleIdentifiers) {
    struct Case {
        std::uint32_t lcid;
        const char* tag;
    };
    const Case cases[] = {{3084, "fr"},  {1036, "fr"}, {1033, "en"}, {2057, "en"}, {1031, "de"},
                          {1068, "cy"},  {2092, "lt"}, {1057, "in"}, {2052, "zh"}, {31748, "zh"},
                          {20490, "es"}, {3098, "sr"}, {1059, "en"}, {0, "en"},    {99999, "en"}};
    for (const auto& c : cases)
        EXPECT_EQ(localisation::languageTag(c.lcid), QString::fromLatin1(c.tag)) << c.lcid;
}

TEST(Localisation, AutomaticChoiceNeedsALangKey) {
    QTemporaryDir dir;
    const QString localeIni =
        writeLocaleIni(dir, "[en]\nlang=English\n[fr]\nlang=Francais\n[cy]\nlang=Cymraeg\n"
                            "[de]\nTool1=Zoom\n[it]\nlang=\n");
    struct Case {
        const char* locale;
        const char* code;
        const char* expected;
    };
    const Case cases[] = {
        {"fr_CA.UTF-8", "", "fr"}, // LCID 3084
        {"az_AZ.UTF-8", "", "cy"}, // LCID 1068 looks for the section cy
        {"be_BY.UTF-8", "", "en"}, // LCID 1059 is not in the table
        {"de_DE.UTF-8", "", "en"}, // a section without "lang"
        {"it_IT.UTF-8", "", "en"}, // an empty "lang"
        {"fr_FR.UTF-8", "de", "en"},
        {"fr_FR.UTF-8", "cy", "cy"}, // an explicit code is checked the same way
    };
    for (const auto& c : cases) {
        TempEnvironment environment;
        environment.unset("LC_MESSAGES");
        environment.set("LC_ALL", c.locale);
        EXPECT_EQ(localisation::chooseLanguage(QString::fromLatin1(c.code), localeIni),
                  QString::fromLatin1(c.expected))
            << c.locale << " " << c.code;
    }
    TempEnvironment environment;
    environment.set("LC_ALL", "fr_FR.UTF-8");
    EXPECT_EQ(localisation::chooseLanguage({}, dir.filePath("missing.ini")), QStringLiteral("en"));
}

TEST(Localisation, OpenDialogFilterHasADefault) {
    QTemporaryDir dir;
    const QString localeIni = writeLocaleIni(dir, "[fr]\nOcx2=Fichiers Dicom|*.dcm\n");
    EXPECT_EQ(localisation::openDialogFilter("fr", localeIni),
              QStringLiteral("Fichiers Dicom|*.dcm"));
    EXPECT_EQ(localisation::openDialogFilter("en", localeIni),
              QStringLiteral("Dicom Files|*.dcm|All Files|*.*"));
}

TEST(Config, DicomListPathRoundTrips) {
    QTemporaryDir dir;
    const QString data = dir.path() + "/";
    EXPECT_EQ(config::dicomListPath(data), QString()); // no Config.ini yet
    config::setDicomListPath(data, "/images/series1");
    EXPECT_EQ(config::dicomListPath(data), QStringLiteral("/images/series1/"));
    EXPECT_TRUE(QFile::exists(dir.filePath("Config.ini")));
}

} // namespace
