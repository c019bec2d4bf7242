#include "ZipTestSupport.h"
#include "zip/cZipArchive.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QTemporaryDir>

using namespace ZipTest;
#include <QFileInfo>

#include <random>

namespace {

// Extracts `archive` into <tmp>/target and returns the errors raised; `dir` keeps the folder.
QStringList extractInto(const QByteArray& archive, const QTemporaryDir& dir,
                        const QString& password = {}, bool* opened = nullptr) {
    cZipArchive zip;
    QStringList errors;
    QObject::connect(&zip, &cZipArchive::Error,
                     [&](int, QString&, QString& description, bool&) { errors << description; });
    const bool open = zip.OpenArchive(archive);
    if (opened)
        *opened = open;
    if (open)
        zip.Extract(dir.filePath(QStringLiteral("target")), {}, password);
    return errors;
}

QStringList outsideTarget(const QTemporaryDir& dir) {
    QStringList outside;
    for (const QString& file : filesBelow(dir.path()))
        if (!file.startsWith(QLatin1String("target")))
            outside << file;
    return outside;
}

TEST(HostileArchiveTest, NamesThatLeaveTheTargetAreRefused) {
    const struct {
        QByteArray name;
        const char* reason;
    } cases[] = {
        {"../evil.txt", "parent folder reference"},
        {"a/../../evil.txt", "parent folder reference"},
        {"..\\..\\evil.txt", "parent folder reference"},
        {"/tmp/evil.txt", "absolute path"},
        {"\\evil.txt", "absolute path"},
        {"C:/evil.txt", "drive letter"},
        {"C:evil.txt", "drive letter"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.constData());
        QTemporaryDir dir;
        const QStringList errors =
            extractInto(rawZip({{c.name, "evil"}, {"good.txt", "good"}}), dir);
        ASSERT_EQ(errors.size(), 1);
        EXPECT_EQ(errors[0], QStringLiteral("Unsafe entry name not extracted (%1): %2")
                                 .arg(QString::fromLatin1(c.name).replace('\\', '/'),
                                      QLatin1String(c.reason)));
        EXPECT_EQ(filesBelow(dir.path()), (QStringList{"target", "target/good.txt"}));
    }
}

TEST(HostileArchiveTest, SymbolicLinksAreNeitherCreatedNorFollowed) {
    QTemporaryDir dir;
    const quint32 linkMode = 0120777u << 16;
    QStringList errors = extractInto(
        rawZip({{"link", dir.path().toUtf8(), linkMode, 0x031E}, {"link/x.txt", "x"}}), dir);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0], QStringLiteral("Symbolic link entry not extracted (link)"));
    // "link/x.txt" lands in an ordinary folder named "link".
    EXPECT_EQ(filesBelow(dir.path()), (QStringList{"target", "target/link", "target/link/x.txt"}));
    EXPECT_FALSE(QFileInfo(dir.filePath(QStringLiteral("target/link"))).isSymLink());

    // A link already in the target that points outside is not written through.
    QTemporaryDir second;
    QDir().mkpath(second.filePath(QStringLiteral("target")));
    QDir().mkpath(second.filePath(QStringLiteral("outside")));
    QFile::link(second.filePath(QStringLiteral("outside")),
                second.filePath(QStringLiteral("target/out")));
    QFile::link(second.filePath(QStringLiteral("outside/file")),
                second.filePath(QStringLiteral("target/file")));
    errors = extractInto(rawZip({{"out/x.txt", "x"}, {"file", "y"}}), second);
    ASSERT_EQ(errors.size(), 2);
    EXPECT_TRUE(errors[0].startsWith(QStringLiteral("Entry leads outside the target folder")));
    EXPECT_TRUE(errors[1].startsWith(QStringLiteral("Entry leads outside the target folder")))
        << qPrintable(errors[1]);
    EXPECT_TRUE(filesBelow(second.filePath(QStringLiteral("outside"))).isEmpty());
}

TEST(HostileArchiveTest, DamagedStructuresGiveClearErrors) {
    const QByteArray good = rawZip({{"a.txt", "alpha alpha"}, {"b.txt", "beta"}});
    const qsizetype central = good.indexOf("PK\x01\x02");
    QByteArray badSignature = good;
    badSignature[central + 1] = 'X';
    QByteArray longName = good;
    longName[central + 28] = char(0xF0); // name length 240 runs past the directory
    const struct {
        const char* label;
        QByteArray archive;
        QString error;
    } cases[] = {
        {"overlapping entries", rawZip({{"a.txt", "alpha"}, {"b.txt", "beta", 0, 20, 0}}),
         QStringLiteral("Invalid archive. Entry 1 at offset 0x0 overlaps entry 2")},
        {"corrupt central directory signature", badSignature,
         QStringLiteral("Invalid archive. Entry 1 has invalid signature")},
        {"name longer than the directory", longName,
         QStringLiteral("Invalid archive. central directory entry 1 at offset 0x%1: name, extra "
                        "and comment (240 bytes) exceed the directory")
             .arg(QString::number(central, 16).toUpper())},
        {"truncated inside the data", good.left(40),
         QStringLiteral("Invalid archive. Entry 1: 11 bytes of data at offset 0x23 run past the "
                        "end of the archive")},
        {"not an archive", QByteArray(100, 'x'),
         QStringLiteral("Invalid archive. No end of central directory record and no local "
                        "header at offset 0")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        QTemporaryDir dir;
        bool opened = true;
        const QStringList errors = extractInto(c.archive, dir, {}, &opened);
        EXPECT_FALSE(opened);
        EXPECT_EQ(errors, QStringList{c.error});
        EXPECT_TRUE(filesBelow(dir.path()).isEmpty());
    }
}

QByteArray encryptedArchive(int strength) {
    cZipArchive writer;
    writer.AddFile(QByteArray("secret text ").repeated(500), QStringLiteral("s.txt"), {},
                   QStringLiteral("right"), strength);
    QByteArray archive;
    writer.CompressArchive(archive);
    return archive;
}

TEST(HostileArchiveTest, FailedChecksLeaveNoFile) {
    QByteArray plain;
    {
        cZipArchive writer;
        writer.AddFile(QByteArray("plain text ").repeated(500), QStringLiteral("p.txt"));
        writer.CompressArchive(plain);
    }
    const auto flipInData = [](QByteArray archive, qsizetype fromEnd) {
        const qsizetype at = archive.indexOf("PK\x01\x02") - fromEnd;
        archive[at] = char(archive[at] ^ 0x01);
        return archive;
    };
    const struct {
        const char* label;
        QByteArray archive;
        QString password;
        QString error;
    } cases[] = {
        {"wrong AES password", encryptedArchive(3), "wrong", "Invalid password"},
        {"tampered AES data", flipInData(encryptedArchive(1), 20), "right",
         "Invalid authentication code"},
        {"tampered AES code", flipInData(encryptedArchive(2), 1), "right",
         "Invalid authentication code"},
        {"missing password", encryptedArchive(0), "", "Password required"},
        {"tampered CRC",
         [&] {
             QByteArray a = plain;
             const qsizetype central = a.indexOf("PK\x01\x02");
             a[14] = char(a[14] ^ 0xFF);
             a[central + 16] = char(a[central + 16] ^ 0xFF);
             return a;
         }(),
         "", "CRC check failed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        QTemporaryDir dir;
        const QStringList errors = extractInto(c.archive, dir, c.password);
        EXPECT_EQ(errors, QStringList{c.error});
        EXPECT_EQ(filesBelow(dir.path()), QStringList{"target"});
    }

    // A wrong traditional password is caught by the check byte or, rarely, by the CRC.
    QTemporaryDir dir;
    const QStringList errors = extractInto(encryptedArchive(0), dir, QStringLiteral("wrong"));
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0] == QStringLiteral("Invalid password") ||
                errors[0].startsWith(QStringLiteral("Error decompressing")) ||
                errors[0] == QStringLiteral("CRC check failed"));
    EXPECT_EQ(filesBelow(dir.path()), QStringList{"target"});
}

TEST(HostileArchiveTest, DeclaredSizeBoundsTheOutput) {
    cZipArchive writer;
    writer.AddFile(QByteArray(1 << 20, '\0'), QStringLiteral("bomb.bin"));
    QByteArray archive;
    ASSERT_TRUE(writer.CompressArchive(archive));
    // Declare 1000 bytes in both headers: the megabyte behind it must not come out.
    const qsizetype central = archive.indexOf("PK\x01\x02");
    for (qsizetype at : {qsizetype(22), central + 24}) {
        archive[at] = char(0xE8);
        archive[at + 1] = 0x03;
        archive[at + 2] = 0;
        archive[at + 3] = 0;
    }
    cZipArchive zip;
    ASSERT_TRUE(zip.OpenArchive(archive));
    QByteArray out;
    EXPECT_FALSE(zip.Extract(out));
    EXPECT_EQ(zip.LastError(), QStringLiteral("Error decompressing. Entry 1 holds more than its "
                                              "declared 1000 bytes"));
    EXPECT_TRUE(out.isEmpty());
}

// Truncations and flipped bytes of a valid archive: never a crash, never a file outside the
// target, and a success only when the data still passes its checks.
TEST(HostileArchiveTest, TruncatedAndFlippedArchivesDoNotCrash) {
    cZipArchive writer;
    writer.AddFile(QByteArray("deflated data ").repeated(300), QStringLiteral("d/one.txt"));
    writer.AddFile(QByteArray("traditional ").repeated(50), QStringLiteral("two.txt"), {},
                   QStringLiteral("pw"));
    writer.AddFile(QByteArray("aes ").repeated(50), QStringLiteral("three.txt"), {},
                   QStringLiteral("pw"), 1);
    writer.AddFile(QByteArray("stored"), QStringLiteral("four.txt"), {}, {}, 0, 0);
    QByteArray valid;
    ASSERT_TRUE(writer.CompressArchive(valid));

    std::mt19937 random(20240601);
    QTemporaryDir dir;
    int opened = 0;
    for (int round = 0; round < 1500; ++round) {
        QByteArray archive = valid;
        if (round % 3 == 0) {
            archive.truncate(qsizetype(random() % quint32(valid.size())));
        } else {
            for (quint32 flips = 1 + random() % 6; flips > 0; --flips)
                archive[random() % quint32(archive.size())] = char(random());
        }
        cZipArchive zip;
        if (!zip.OpenArchive(archive))
            continue;
        ++opened;
        for (int i = 0; i < zip.FileCount(); ++i) {
            QByteArray out;
            if (zip.Extract(out, i, QStringLiteral("pw"))) {
                EXPECT_EQ(quint64(out.size()), zip.FileInfo(i, cZipArchive::Size).toULongLong());
            }
        }
        if (round % 25 == 0)
            zip.Extract(dir.filePath(QStringLiteral("target")), {}, QStringLiteral("pw"));
    }
    EXPECT_GT(opened, 100);
    EXPECT_TRUE(outsideTarget(dir).isEmpty());
}

} // namespace
