#include "ZipTestSupport.h"
#include "zip/cZipArchive.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QTemporaryDir>

using namespace ZipTest;

namespace {

QByteArray sampleData(int size) {
    QByteArray data;
    data.reserve(size);
    for (int i = 0; i < size; ++i)
        data.append(char((i * 7919) % 251 < 120 ? 'a' + i % 26 : (i * 31) % 256));
    return data;
}

QByteArray compress(cZipArchive& zip, Utf8Mode utf8 = Utf8Mode::WhenNeeded,
                    const QString& comment = {}) {
    QByteArray archive;
    EXPECT_TRUE(zip.CompressArchive(archive, comment, 6, utf8)) << qPrintable(zip.LastError());
    return archive;
}

struct RoundTripCase {
    const char* label;
    int level;
    const char* password;
    int strength;
    int size;
    int expectedMethod;
};

TEST(ArchiveTest, EntriesRoundTripThroughEveryMethodAndEncryption) {
    const RoundTripCase cases[] = {
        {"stored", 0, "", 0, 5000, 0},
        {"deflated", 9, "", 0, 100000, 8},
        {"empty deflated", 6, "", 0, 0, 8},
        {"traditional", 6, "pw", 0, 70000, 8},
        {"traditional stored", 0, "pw", 0, 300, 0},
        {"AES-128 AE-1", 6, "pässwörd", 1, 70000, 8},
        {"AES-192 AE-1", 6, "pw", 2, 1000, 8},
        {"AES-256 AE-2 small", 6, "pw", 3, 20, 8},
        {"AES-256 stored", 0, "pw", 3, 200000, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const QByteArray data = sampleData(c.size);
        cZipArchive writer;
        ASSERT_TRUE(writer.AddFile(data, QStringLiteral("dir/file.bin"), {},
                                   QString::fromUtf8(c.password), c.strength, c.level));
        const QByteArray archive = compress(writer);

        cZipArchive reader;
        ASSERT_TRUE(reader.OpenArchive(archive)) << qPrintable(reader.LastError());
        ASSERT_EQ(reader.FileCount(), 1);
        EXPECT_EQ(reader.FileInfo(0, cZipArchive::Method).toInt(), c.expectedMethod);
        EXPECT_EQ(reader.FileInfo(0, cZipArchive::Size).toULongLong(), quint64(c.size));
        EXPECT_EQ(reader.FileInfo(0, cZipArchive::Flags).toInt() & 1, *c.password ? 1 : 0);
        QByteArray out;
        EXPECT_TRUE(reader.Extract(out, {}, QString::fromUtf8(c.password)))
            << qPrintable(reader.LastError());
        EXPECT_EQ(out, data);
        if (*c.password) {
            EXPECT_FALSE(reader.Extract(out, {}, {}));
            EXPECT_EQ(reader.LastError(), QStringLiteral("Password required"));
            EXPECT_TRUE(out.isEmpty());
        }
    }
}

TEST(ArchiveTest, FileInfoReportsFieldsAndMatchesNamesWithoutCase) {
    cZipArchive writer;
    writer.AddFile(QByteArray("first"), QStringLiteral("Readme.TXT"), QStringLiteral("one"));
    writer.AddFile(QByteArray("second"), QStringLiteral("readme.txt"));
    cZipArchive zip;
    ASSERT_TRUE(zip.OpenArchive(compress(writer, Utf8Mode::WhenNeeded, QStringLiteral("hi"))));
    EXPECT_EQ(zip.Comment(), QStringLiteral("hi"));
    EXPECT_EQ(zip.FileInfo(QStringLiteral("README.txt"), cZipArchive::FileName).toString(),
              QStringLiteral("Readme.TXT"));
    EXPECT_EQ(zip.FileInfo(QStringLiteral("readme.txt"), cZipArchive::EntryComment).toString(),
              QStringLiteral("one"));
    const QVariantList all = zip.FileInfo(1).toList();
    ASSERT_EQ(all.size(), 10);
    EXPECT_EQ(all[cZipArchive::Crc32].toUInt(), cZipArchive::CalcCrc32Array("second"));
    EXPECT_EQ(all[cZipArchive::Size].toULongLong(), 6u);
    EXPECT_TRUE(all[cZipArchive::LastModified].toDateTime().isValid());
    EXPECT_FALSE(zip.FileInfo(2).isValid());
    EXPECT_FALSE(zip.FileInfo(0, 10).isValid());
    EXPECT_FALSE(zip.FileInfo(QStringLiteral("missing")).isValid());
}

TEST(ArchiveTest, FilterSelectsEntries) {
    cZipArchive writer;
    for (const char* name : {"a.txt", "dir/b.txt", "dir/c.log", "dir/sub/d.txt"})
        writer.AddFile(QByteArray(name), QString::fromLatin1(name));
    cZipArchive zip;
    ASSERT_TRUE(zip.OpenArchive(compress(writer)));
    const struct {
        QVariant filter;
        QStringList expected;
    } cases[] = {
        {QStringLiteral("*.TXT"), {"a.txt", "dir/b.txt", "dir/sub/d.txt"}},
        {QStringLiteral("dir/*.txt"), {"dir/b.txt"}},
        {QStringLiteral("dir\\*.log;*.txt"), {"dir/b.txt", "dir/c.log"}},
        {QStringLiteral("dir/"), {"dir/b.txt", "dir/c.log"}},
        {QStringLiteral("?.LOG"), {"dir/c.log"}},
        {2, {"dir/c.log"}},
        {QVariantList{0, QStringLiteral("DIR/SUB/D.TXT")}, {"a.txt", "dir/sub/d.txt"}},
    };
    for (const auto& c : cases) {
        QBuffer sink;
        sink.open(QIODevice::WriteOnly);
        QStringList extracted;
        QObject::connect(&zip, &cZipArchive::ExtractComplete, [&](int index, QVariant&) {
            extracted << zip.FileInfo(index, cZipArchive::FileName).toString();
        });
        EXPECT_TRUE(zip.Extract(&sink, c.filter));
        EXPECT_EQ(extracted, c.expected) << qPrintable(c.filter.toString());
        QObject::disconnect(&zip, &cZipArchive::ExtractComplete, nullptr, nullptr);
    }
}

TEST(ArchiveTest, NamesUseTheCodePageOrTheUtf8Flag) {
    const QString german = QStringLiteral("M\u00fcller/\u00e9t\u00e9.txt");
    const QString japanese = QStringLiteral("\u65e5\u672c.txt");
    const auto write = [&](Utf8Mode utf8) {
        cZipArchive writer;
        writer.AddFile(QByteArray("x"), german);
        writer.AddFile(QByteArray("y"), japanese);
        writer.AddFile(QByteArray("z"), QStringLiteral("plain.txt"));
        return compress(writer, utf8);
    };
    const auto utf8Flags = [&](const QByteArray& archive) {
        cZipArchive zip;
        EXPECT_TRUE(zip.OpenArchive(archive));
        EXPECT_EQ(zip.FileInfo(0, cZipArchive::FileName).toString(), german);
        EXPECT_EQ(zip.FileInfo(1, cZipArchive::FileName).toString(), japanese);
        QList<int> flags;
        for (int i = 0; i < zip.FileCount(); ++i)
            flags << (zip.FileInfo(i, cZipArchive::Flags).toInt() & 0x800);
        return flags;
    };
    // Without the flag the German name is in the bytes of code page 437.
    const QByteArray codePage = write(Utf8Mode::Never);
    EXPECT_TRUE(codePage.contains(QByteArray("M\x81ller/\x82t\x82.txt")));
    EXPECT_EQ(utf8Flags(codePage), QList<int>({0, 0, 0}));
    // Only non-ASCII names take the flag, also those the code page holds.
    const QByteArray whenNeeded = write(Utf8Mode::WhenNeeded);
    EXPECT_TRUE(whenNeeded.contains(german.toUtf8()));
    EXPECT_FALSE(whenNeeded.contains(QByteArray("M\x81ller")));
    EXPECT_EQ(utf8Flags(whenNeeded), QList<int>({0x800, 0x800, 0}));
    EXPECT_EQ(utf8Flags(write(Utf8Mode::Always)), QList<int>({0x800, 0x800, 0x800}));
}

TEST(ArchiveTest, UnsupportedMethodReportsAndCopiesRawDataUnlessCancelled) {
    QByteArray archive = rawZip({{"packed.bin", "RAWDATA"}});
    // Method field: offset 8 of the local header, offset 10 of the central header.
    archive[8] = 12;
    archive[archive.indexOf("PK\x01\x02") + 10] = 12;
    for (bool cancel : {false, true}) {
        cZipArchive zip;
        ASSERT_TRUE(zip.OpenArchive(archive));
        QStringList errors;
        QObject::connect(&zip, &cZipArchive::Error,
                         [&](int, QString& source, QString& description, bool& stop) {
                             errors << source + QLatin1Char('|') + description;
                             stop = stop || cancel;
                         });
        QByteArray out;
        EXPECT_FALSE(zip.Extract(out));
        ASSERT_FALSE(errors.isEmpty());
        EXPECT_EQ(errors.first(),
                  QStringLiteral("cZipArchive.Extract|Unsupported compression method 12"));
        EXPECT_EQ(out, cancel ? QByteArray() : QByteArray("RAWDATA"));
    }
}

TEST(ArchiveTest, FallbackScanReadsArchivesWithoutAUsableEndRecord) {
    cZipArchive writer;
    writer.AddFile(sampleData(5000), QStringLiteral("one.bin"), {}, QStringLiteral("pw"));
    writer.AddFile(sampleData(300), QStringLiteral("two.bin"));
    const QByteArray archive = compress(writer);
    const struct {
        const char* label;
        QByteArray bytes;
    } cases[] = {
        {"trailing bytes", archive + QByteArray("not a comment")},
        {"comment over 10000 bytes",
         rawZip({{"a.txt", "alpha"}, {"b.txt", "beta"}}, QByteArray(12000, 'c'))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        cZipArchive zip;
        ASSERT_TRUE(zip.OpenArchive(c.bytes)) << qPrintable(zip.LastError());
        ASSERT_EQ(zip.FileCount(), 2);
        QByteArray out;
        EXPECT_TRUE(zip.Extract(out, 0, QStringLiteral("pw"))) << qPrintable(zip.LastError());
        EXPECT_EQ(out.size(), zip.FileInfo(0, cZipArchive::Size).toLongLong());
        EXPECT_EQ(cZipArchive::CalcCrc32Array(out), zip.FileInfo(0, cZipArchive::Crc32).toUInt());
    }
}

TEST(ArchiveTest, EventsReportProgressAndHonourSkipAndCancel) {
    cZipArchive writer;
    writer.AddFile(sampleData(200000), QStringLiteral("big.bin"));
    writer.AddFile(sampleData(10), QStringLiteral("small.bin"));
    writer.AddFile(sampleData(10), QStringLiteral("skipped.bin"));
    int compressLevelSeen = -1;
    QObject::connect(&writer, &cZipArchive::BeforeCompress,
                     [&](int index, int& level, bool& skip, bool&) {
                         compressLevelSeen = level;
                         level = 0;
                         skip = index == 2;
                     });
    cZipArchive zip;
    ASSERT_TRUE(zip.OpenArchive(compress(writer)));
    EXPECT_EQ(compressLevelSeen, 6);
    ASSERT_EQ(zip.FileCount(), 2);
    EXPECT_EQ(zip.FileInfo(0, cZipArchive::Method).toInt(), 0);

    QTemporaryDir dir;
    QList<qint64> progress;
    QObject::connect(&zip, &cZipArchive::Progress, [&](int index, qint64 current, qint64, bool&) {
        if (index == 0)
            progress << current;
    });
    QObject::connect(&zip, &cZipArchive::BeforeExtract,
                     [&](int index, QVariant& file, bool& skip, bool& cancel) {
                         EXPECT_TRUE(file.toString().startsWith(dir.path()));
                         skip = index == 0;
                         cancel = index == 1;
                     });
    EXPECT_FALSE(zip.Extract(dir.path()));
    EXPECT_EQ(zip.LastError(), QStringLiteral("User cancelled"));
    EXPECT_TRUE(filesBelow(dir.path()).isEmpty());
    EXPECT_TRUE(progress.isEmpty());

    QObject::disconnect(&zip, &cZipArchive::BeforeExtract, nullptr, nullptr);
    EXPECT_TRUE(zip.Extract(dir.path()));
    EXPECT_EQ(progress, (QList<qint64>{65536, 131072, 196608, 200000}));
    EXPECT_EQ(readFile(dir.filePath(QStringLiteral("big.bin"))), sampleData(200000));
}

TEST(ArchiveTest, ExtractsOneEntryToAFilePathOrPattern) {
    cZipArchive writer;
    writer.AddFile(QByteArray("report"), QStringLiteral("docs/report.txt"));
    writer.AddFile(QByteArray("other"), QStringLiteral("other.txt"));
    cZipArchive zip;
    ASSERT_TRUE(zip.OpenArchive(compress(writer)));
    QTemporaryDir dir;
    // An existing file is replaced by the one selected entry.
    writeFile(dir.filePath(QStringLiteral("renamed.bin")), "old");
    const struct {
        QString target;
        QString expectedFile;
    } cases[] = {
        {dir.filePath(QStringLiteral("renamed.bin")), QStringLiteral("renamed.bin")},
        {dir.filePath(QStringLiteral("out/*.bak")), QStringLiteral("out/docs/report.bak")},
        {dir.filePath(QStringLiteral("copy/*.*")), QStringLiteral("copy/docs/report.txt")},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(zip.Extract(c.target, 0)) << qPrintable(zip.LastError());
        EXPECT_EQ(readFile(dir.filePath(c.expectedFile)), QByteArray("report"))
            << qPrintable(c.expectedFile);
    }
}

TEST(ArchiveTest, AddFromFolderWalksBreadthFirstWithMaskAndEmptyFolders) {
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("src/a.txt")), "a");
    writeFile(dir.filePath(QStringLiteral("src/b.log")), "b");
    writeFile(dir.filePath(QStringLiteral("src/sub/c.txt")), "c");
    QDir().mkpath(dir.filePath(QStringLiteral("src/empty")));
    cZipArchive writer;
    ASSERT_TRUE(writer.AddFromFolder(dir.filePath(QStringLiteral("src/*.txt")), true,
                                     QStringLiteral("top"), true));
    cZipArchive zip;
    ASSERT_TRUE(zip.OpenArchive(compress(writer)));
    QStringList names;
    for (int i = 0; i < zip.FileCount(); ++i)
        names << zip.FileInfo(i, cZipArchive::FileName).toString();
    EXPECT_EQ(names, (QStringList{"top/a.txt", "top/empty/", "top/sub/c.txt"}));

    cZipArchive none;
    EXPECT_FALSE(none.AddFromFolder(dir.filePath(QStringLiteral("src/*.none"))));
    EXPECT_FALSE(none.CompressArchive(dir.filePath(QStringLiteral("x.zip"))));
    EXPECT_EQ(none.LastError(), QStringLiteral("Empty archive"));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("x.zip"))));
}

TEST(ArchiveTest, OperationsOnAStream) {
    cZipArchive writer;
    writer.AddFile(QByteArray("stream data"), QStringLiteral("s.txt"));
    QBuffer archive;
    archive.open(QIODevice::ReadWrite);
    ASSERT_TRUE(writer.CompressArchive(&archive));
    archive.seek(0);
    cZipArchive zip;
    ASSERT_TRUE(zip.OpenArchive(&archive));
    QByteArray out;
    ASSERT_TRUE(zip.Extract(out, QStringLiteral("s.txt")));
    EXPECT_EQ(out, QByteArray("stream data"));

    cZipArchive unopened;
    EXPECT_FALSE(unopened.Extract(out));
    EXPECT_EQ(unopened.LastError(), QStringLiteral("Archive not opened"));
}

} // namespace
