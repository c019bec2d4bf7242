#include "ZipTestSupport.h"
#include "zip/cZipArchive.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace ZipTest;

namespace {

const QString naive = QStringLiteral("na\u00efve \u00e9t\u00e9.txt");
const QString japanese = QStringLiteral("\u65e5\u672c\u8a9e.txt");

quint32 crcOf(const QByteArray& bytes) {
    return cZipArchive::CalcCrc32Array(bytes);
}

// An Info-ZIP Unicode path field with the given CRC, or cut to `keep` bytes of data.
QByteArray unicodePathField(const QString& name, quint32 crc, int keep = -1) {
    QByteArray data;
    data.append(char(1));
    put32(data, crc);
    data += name.toUtf8();
    if (keep >= 0)
        data.truncate(keep);
    QByteArray field;
    put16(field, 0x7075);
    put16(field, quint32(data.size()));
    return field + data;
}

QStringList entryNames(cZipArchive& zip) {
    QStringList names;
    for (int i = 0; i < zip.FileCount(); ++i)
        names << zip.FileInfo(i, cZipArchive::FileName).toString();
    return names;
}

TEST(NameEncodingTest, NamesWithoutTheUtf8FlagFollowTheHostAndTheUnicodePathField) {
    const QByteArray utf8 = naive.toUtf8();
    const QByteArray oem = QByteArray("na\x8bve \x82t\x82.txt"); // the same name in code page 437
    const QString utf8ReadAsOem = QStringLiteral("na\u251c\u00bbve \u251c\u2310t\u251c\u2310.txt");
    const struct {
        const char* label;
        RawEntry entry;
        QString expected;
    } cases[] = {
        {"Unix host, UTF-8 bytes", {utf8, "x", 0, 0x031E, -1, {}}, naive},
        {"macOS host, UTF-8 bytes", {utf8, "x", 0, 0x1314, -1, {}}, naive},
        {"Unix host, bytes that are not UTF-8", {oem, "x", 0, 0x031E, -1, {}}, naive},
        {"DOS host keeps code page 437", {utf8, "x", 0, 0x0014, -1, {}}, utf8ReadAsOem},
        {"NTFS host keeps code page 437", {utf8, "x", 0, 0x0B14, -1, {}}, utf8ReadAsOem},
        {"VFAT host keeps code page 437", {utf8, "x", 0, 0x0E14, -1, {}}, utf8ReadAsOem},
        {"DOS host, code page 437 bytes", {oem, "x", 0, 0x0014, -1, {}}, naive},
        {"Unicode path field with the name's CRC",
         {"old.txt", "x", 0, 0x0014, -1, unicodePathField(japanese, crcOf("old.txt"))},
         japanese},
        {"Unicode path field with a wrong CRC is ignored",
         {oem, "x", 0, 0x0014, -1, unicodePathField(japanese, crcOf(oem) ^ 1)},
         naive},
        {"Unicode path field too short for its CRC",
         {oem, "x", 0, 0x0014, -1, unicodePathField(japanese, crcOf(oem), 3)},
         naive},
        {"Unicode path field without a name",
         {oem, "x", 0, 0x0014, -1, unicodePathField({}, crcOf(oem))},
         naive},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        cZipArchive zip;
        ASSERT_TRUE(zip.OpenArchive(rawZip({c.entry}))) << qPrintable(zip.LastError());
        EXPECT_EQ(zip.FileInfo(0, cZipArchive::FileName).toString(), c.expected);
        EXPECT_TRUE(zip.LastError().isEmpty()) << qPrintable(zip.LastError());
    }
}

TEST(NameEncodingTest, AUnicodePathFieldRunningPastTheExtraDataIsNotRead) {
    const QByteArray oem = QByteArray("na\x8bve \x82t\x82.txt");
    QByteArray field = unicodePathField(japanese, crcOf(oem));
    // Declares 40 more bytes than the entry holds: its text must not come from what follows.
    field[2] = char(field.size() - 4 + 40);
    cZipArchive zip;
    QStringList errors;
    QObject::connect(&zip, &cZipArchive::Error,
                     [&](int, QString&, QString& description, bool&) { errors << description; });
    // The damaged record is reported (so the open reports failure) and loading goes on.
    EXPECT_FALSE(zip.OpenArchive(
        rawZip({{oem, "x", 0, 0x0014, -1, field}, {"next.txt", "y", 0, 20, -1, {}}})));
    EXPECT_EQ(entryNames(zip), QStringList({naive, QStringLiteral("next.txt")}));
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].startsWith(QStringLiteral("Invalid archive. Entry 1: ")))
        << qPrintable(errors[0]);
}

class NameInteropTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(writeFile(path(QStringLiteral("src/") + naive), "naive"));
        ASSERT_TRUE(writeFile(path(QStringLiteral("src/") + japanese), "japanese"));
    }

    QString path(const QString& relative) const { return m_dir.filePath(relative); }

    void expectReadsAndExtracts(const QString& archive) {
        cZipArchive zip;
        ASSERT_TRUE(zip.OpenArchive(archive)) << qPrintable(zip.LastError());
        QStringList names = entryNames(zip);
        names.removeAll(QStringLiteral("src/"));
        names.sort();
        EXPECT_EQ(names,
                  QStringList({QStringLiteral("src/") + naive, QStringLiteral("src/") + japanese}));
        const QString out = path(QStringLiteral("out"));
        QDir(out).removeRecursively();
        ASSERT_TRUE(zip.Extract(out)) << qPrintable(zip.LastError());
        EXPECT_EQ(readFile(out + QStringLiteral("/src/") + naive), QByteArray("naive"));
        EXPECT_EQ(readFile(out + QStringLiteral("/src/") + japanese), QByteArray("japanese"));
    }

    // An archive of src/ written here with the given UTF-8 choice and encryption.
    QString createHere(const QString& name, Utf8Mode utf8, const QString& password = {},
                       int strength = 0) {
        cZipArchive zip;
        EXPECT_TRUE(zip.AddFromFolder(path(QStringLiteral("src")), true, QStringLiteral("src"),
                                      false, password, strength));
        const QString archive = path(name);
        EXPECT_TRUE(zip.CompressArchive(archive, {}, 6, utf8)) << qPrintable(zip.LastError());
        return archive;
    }

    QTemporaryDir m_dir;
};

TEST_F(NameInteropTest, ReadsNonAsciiNamesOfArchivesMadeByInfoZipAnd7Zip) {
    if (!QStandardPaths::findExecutable(QStringLiteral("zip")).isEmpty()) {
        SCOPED_TRACE("Info-ZIP");
        const RunResult made = run(QStringLiteral("zip"), {"-qr", "iz.zip", "src"}, m_dir.path());
        ASSERT_EQ(made.exitCode, 0) << qPrintable(made.output);
        expectReadsAndExtracts(path(QStringLiteral("iz.zip")));
    }
    if (const QString sevenZ = sevenZip(); !sevenZ.isEmpty()) {
        SCOPED_TRACE("7-Zip");
        const RunResult made = run(sevenZ, {"a", "-tzip", "7z.zip", "src"}, m_dir.path());
        ASSERT_EQ(made.exitCode, 0) << qPrintable(made.output);
        expectReadsAndExtracts(path(QStringLiteral("7z.zip")));
    }
}

TEST_F(NameInteropTest, InfoZipAnd7ZipReadNonAsciiNamesWrittenHere) {
    const QString sevenZ = sevenZip();
    const bool unzip = !QStandardPaths::findExecutable(QStringLiteral("unzip")).isEmpty();
    if (sevenZ.isEmpty() && !unzip)
        GTEST_SKIP() << "neither unzip nor 7-Zip is installed";
    const struct {
        const char* name;
        Utf8Mode utf8;
    } cases[] = {{"when-needed.zip", Utf8Mode::WhenNeeded},
                 {"never.zip", Utf8Mode::Never},
                 {"always.zip", Utf8Mode::Always}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString archive = createHere(QLatin1String(c.name), c.utf8);
        expectReadsAndExtracts(archive);
        QStringList listings;
        if (unzip)
            listings << run(QStringLiteral("unzip"), {"-l", archive}).output;
        if (!sevenZ.isEmpty())
            listings << run(sevenZ, {"l", archive}).output;
        for (const QString& listing : listings) {
            EXPECT_TRUE(listing.contains(QStringLiteral("src/") + naive)) << qPrintable(listing);
            EXPECT_TRUE(listing.contains(QStringLiteral("src/") + japanese)) << qPrintable(listing);
        }
        if (!unzip)
            continue;
        const QString unzipped = path(QStringLiteral("unzipped"));
        QDir(unzipped).removeRecursively();
        const RunResult result = run(QStringLiteral("unzip"), {"-q", archive, "-d", unzipped});
        EXPECT_EQ(result.exitCode, 0) << qPrintable(result.output);
        EXPECT_EQ(readFile(unzipped + QStringLiteral("/src/") + naive), QByteArray("naive"));
    }
}

// Python's zipfile: the names it reads, one a line, then "tested" when every entry it can
// decrypt passes its CRC check. Its command line tests only unencrypted archives.
RunResult pythonZipfile(const QString& python, const QString& archive, const QString& password,
                        bool canDecrypt) {
    if (password.isEmpty())
        return run(python, {"-m", "zipfile", "-t", archive});
    static const QString script = QStringLiteral("import sys, zipfile\n"
                                                 "with zipfile.ZipFile(sys.argv[1]) as z:\n"
                                                 "    z.setpassword(sys.argv[2].encode())\n"
                                                 "    print('\\n'.join(z.namelist()))\n"
                                                 "    if sys.argv[3] == 'decrypt':\n"
                                                 "        bad = z.testzip()\n"
                                                 "        if bad:\n"
                                                 "            sys.exit('corrupted: ' + bad)\n"
                                                 "        print('tested')\n");
    return run(python, {"-c", script, archive, password, canDecrypt ? "decrypt" : "names"});
}

TEST_F(NameInteropTest, ToolsTestEncryptedAndPlainArchivesWithNonAsciiNames) {
    const QString sevenZ = sevenZip();
    const QString unzip = QStandardPaths::findExecutable(QStringLiteral("unzip"));
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (sevenZ.isEmpty() || unzip.isEmpty() || python.isEmpty())
        GTEST_SKIP() << "unzip, 7-Zip and python3 are all needed";
    const QStringList names = {QStringLiteral("src/") + naive, QStringLiteral("src/") + japanese};
    const struct {
        const char* name;
        QString password;
        int strength;
        Utf8Mode utf8;
    } cases[] = {
        {"plain.zip", {}, 0, Utf8Mode::WhenNeeded},
        {"traditional.zip", QStringLiteral("pw \u00e9"), 0, Utf8Mode::WhenNeeded},
        {"aes128.zip", QStringLiteral("pw"), 1, Utf8Mode::WhenNeeded},
        {"aes256.zip", QStringLiteral("pw"), 3, Utf8Mode::WhenNeeded},
        {"traditional-always-utf8.zip", QStringLiteral("pw"), 0, Utf8Mode::Always},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString archive = createHere(QLatin1String(c.name), c.utf8, c.password, c.strength);

        // Info-ZIP has no AES: of an AES archive it lists the names.
        const bool aes = !c.password.isEmpty() && c.strength > 0;
        const RunResult infoZip =
            aes ? run(unzip, {"-l", archive}) : run(unzip, {"-t", "-P", c.password, archive});
        EXPECT_EQ(infoZip.exitCode, 0) << qPrintable(infoZip.output);
        EXPECT_TRUE(aes || infoZip.output.contains(QStringLiteral("No errors detected")))
            << qPrintable(infoZip.output);

        const RunResult sevenZipTest = run(sevenZ, {"t", "-p" + c.password, archive});
        EXPECT_EQ(sevenZipTest.exitCode, 0) << qPrintable(sevenZipTest.output);
        EXPECT_TRUE(sevenZipTest.output.contains(QStringLiteral("Everything is Ok")))
            << qPrintable(sevenZipTest.output);

        // zipfile decrypts traditional encryption only; of an AES archive it reads the names.
        const RunResult pythonTest = pythonZipfile(python, archive, c.password, !aes);
        EXPECT_EQ(pythonTest.exitCode, 0) << qPrintable(pythonTest.output);
        if (c.password.isEmpty())
            EXPECT_TRUE(pythonTest.output.contains(QStringLiteral("Done testing")) &&
                        !pythonTest.output.contains(QStringLiteral("corrupted")))
                << qPrintable(pythonTest.output);
        else
            EXPECT_EQ(pythonTest.output.contains(QStringLiteral("tested")), !aes)
                << qPrintable(pythonTest.output);

        // Each tool shows both names as written.
        QStringList listings = {infoZip.output, run(sevenZ, {"l", archive}).output};
        if (!c.password.isEmpty())
            listings << pythonTest.output;
        for (const QString& listing : listings)
            for (const QString& name : names)
                EXPECT_TRUE(listing.contains(name)) << qPrintable(listing);
    }
}

} // namespace
