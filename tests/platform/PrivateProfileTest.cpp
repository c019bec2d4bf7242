#include "platform/PrivateProfile.h"
#include "tests/common/QtPrinters.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class PrivateProfileTest : public ::testing::Test {
protected:
    QString writeFile(const QByteArray& content) {
        const QString path = dir.filePath(QStringLiteral("test.ini"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return path;
    }
    QByteArray readFile(const QString& path) {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }
    QString read(const QString& section, const QString& key, const QString& path,
                 const QString& fallback = QStringLiteral("<default>")) {
        return profile::readString(section, key, fallback, path);
    }

    QTemporaryDir dir;
};

TEST_F(PrivateProfileTest, ReadsOddContentAsWindowsDoes) {
    const QString path = writeFile("stray=before any section\r\n"
                                   "[Main]\r\n"
                                   "  Key = spaced value  \r\n"
                                   "dup=first\r\n"
                                   "dup=second\r\n"
                                   "quoted=\"  kept spaces  \"\r\n"
                                   "single='x'\r\n"
                                   "half=\"open\r\n"
                                   "; comment=not a key\r\n"
                                   "empty=\r\n"
                                   "[main]\r\n"
                                   "later=in a duplicate section\r\n"
                                   "[Dicom]\r\n"
                                   "DicomListPath=/list/\r\n"
                                   "[Other]\n"
                                   "last=no final newline");
    struct Case {
        const char* section;
        const char* key;
        const char* expected;
    };
    const Case cases[] = {
        {"Main", "Key", "spaced value"},
        {"MAIN", "key", "spaced value"},       // names ignore case
        {"Main", "dup", "first"},              // first duplicate wins
        {"Main", "quoted", "  kept spaces  "}, // one pair of quotes goes
        {"Main", "single", "x"},
        {"Main", "half", "\"open"},
        {"Main", "; comment", "<default>"},
        {"Main", "empty", ""},
        {"Main", "later", "<default>"}, // only the first section of a name
        {"Other", "last", "no final newline"},
        // "i" and "I" are one letter whatever the locale (not so in Turkish rules).
        {"DICOM", "dicomlistpath", "/list/"},
        {"Missing", "Key", "<default>"},
        {"Main", "missing", "<default>"},
        {"", "stray", "<default>"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(read(c.section, c.key, path), QString::fromUtf8(c.expected))
            << c.section << "/" << c.key;
}

TEST_F(PrivateProfileTest, MissingFileOrFolderGivesTheDefault) {
    EXPECT_EQ(read("S", "K", dir.filePath("none.ini")), QStringLiteral("<default>"));
    EXPECT_EQ(read("S", "K", dir.filePath("no/such/folder/x.ini")), QStringLiteral("<default>"));
}

TEST_F(PrivateProfileTest, BufferSizeCutsLongValues) {
    const QString path = writeFile("[S]\nK=" + QByteArray(400, 'a') + "\n");
    EXPECT_EQ(profile::readString("S", "K", {}, path, 255).size(), 254);
    EXPECT_EQ(profile::readString("S", "K", {}, path).size(), 400);
    EXPECT_EQ(profile::readString("S", "none", QString(300, 'd'), path, 255).size(), 254);
}

TEST_F(PrivateProfileTest, WriteCreatesTheFileButNotItsFolder) {
    const QString path = dir.filePath("new.ini");
    EXPECT_TRUE(profile::writeString("Dicom", QStringLiteral("DicomListPath"),
                                     QStringLiteral("/a/"), path));
    EXPECT_EQ(readFile(path), QByteArray("[Dicom]\nDicomListPath=/a/\n"));
    EXPECT_FALSE(profile::writeString("S", QStringLiteral("K"), QStringLiteral("v"),
                                      dir.filePath("missing/new.ini")));
    EXPECT_FALSE(QFile::exists(dir.filePath("missing")));
}

TEST_F(PrivateProfileTest, WriteEditsInPlaceAndKeepsEverythingElse) {
    const QString path = writeFile("; header comment\r\n[A]\r\nx=1\r\ny=2\r\n\r\n[B]\r\nz=3\r\n");
    profile::writeString("a", QStringLiteral("X"), QStringLiteral("10"), path);  // replace
    profile::writeString("A", QStringLiteral("new"), QStringLiteral("n"), path); // add to section
    profile::writeString("C", QStringLiteral("c"), QStringLiteral("1"), path);   // new section
    profile::writeString("B", QStringLiteral("z"), std::nullopt, path);          // delete key
    EXPECT_EQ(readFile(path), QByteArray("; header comment\r\n[A]\r\nX=10\r\ny=2\r\nnew=n\r\n\r\n"
                                         "[B]\r\n[C]\r\nc=1\r\n"));
    profile::writeString("A", std::nullopt, std::nullopt, path); // delete section
    EXPECT_EQ(readFile(path), QByteArray("; header comment\r\n[B]\r\n[C]\r\nc=1\r\n"));
    EXPECT_EQ(profile::sectionNames(path), (QStringList{"B", "C"}));
    EXPECT_EQ(profile::keyNames("c", path), (QStringList{"c"}));
}

TEST_F(PrivateProfileTest, ReadsUtf8AndSkipsByteOrderMark) {
    const QString path = writeFile("\xEF\xBB\xBF[fr]\nTool1=Fen\xC3\xAAtre\n");
    EXPECT_EQ(read("fr", "Tool1", path), QString::fromUtf8("Fen\xC3\xAAtre"));
}

} // namespace
