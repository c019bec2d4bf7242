#include "ZipTestSupport.h"
#include "zip/cZipArchive.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QTemporaryDir>

using namespace ZipTest;
#include <QFileInfo>

namespace {

// Accepts any amount of data and keeps only its length, so a huge entry can be checked
// without storing it.
class CountingDevice : public QIODevice {
public:
    CountingDevice() { open(QIODevice::WriteOnly); }
    qint64 count = 0;

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 length) override {
        count += length;
        return length;
    }
};

TEST(Zip64Test, MoreThan65535EntriesRoundTrip) {
    QTemporaryDir dir;
    const QString archive = dir.filePath(QStringLiteral("many.zip"));
    constexpr int count = 70000;
    {
        cZipArchive zip;
        for (int i = 0; i < count; ++i)
            zip.AddFile(QByteArray::number(i), QStringLiteral("f/%1.txt").arg(i), {}, {}, 0, 0);
        ASSERT_TRUE(zip.CompressArchive(archive)) << qPrintable(zip.LastError());
    }
    const QByteArray bytes = readFile(archive);
    // The classic end record says "see Zip64" (0xFFFF entries).
    EXPECT_EQ(bytes.mid(bytes.size() - 22 + 8, 4), QByteArray("\xFF\xFF\xFF\xFF", 4));

    cZipArchive zip;
    ASSERT_TRUE(zip.OpenArchive(archive)) << qPrintable(zip.LastError());
    ASSERT_EQ(zip.FileCount(), count);
    for (int i : {0, 65535, 65536, count - 1}) {
        QByteArray out;
        ASSERT_TRUE(zip.Extract(out, i));
        EXPECT_EQ(out, QByteArray::number(i));
        EXPECT_EQ(zip.FileInfo(i, cZipArchive::FileName).toString(),
                  QStringLiteral("f/%1.txt").arg(i));
    }
    if (!QStandardPaths::findExecutable(QStringLiteral("unzip")).isEmpty()) {
        const RunResult tested = run(QStringLiteral("unzip"), {"-tq", archive});
        EXPECT_EQ(tested.exitCode, 0) << qPrintable(tested.output.left(2000));
    }
}

TEST(Zip64Test, EntryOver4GiBRoundTripsFromASparseFile) {
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("zeros.bin"));
    const qint64 size = (qint64(4) << 30) + 12345;
    {
        QFile file(source);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(size)); // sparse: no 4 GiB on disk or in memory
    }
    const QString archive = dir.filePath(QStringLiteral("big.zip"));
    {
        cZipArchive zip;
        zip.AddFile(QByteArray("small"), QStringLiteral("before.txt"));
        zip.AddFile(source, QStringLiteral("zeros.bin"));
        zip.AddFile(QByteArray("after"), QStringLiteral("after.txt"));
        ASSERT_TRUE(zip.CompressArchive(archive)) << qPrintable(zip.LastError());
    }
    EXPECT_LT(QFileInfo(archive).size(), 8 << 20);

    cZipArchive zip;
    ASSERT_TRUE(zip.OpenArchive(archive)) << qPrintable(zip.LastError());
    ASSERT_EQ(zip.FileCount(), 3);
    EXPECT_EQ(zip.FileInfo(1, cZipArchive::Size).toLongLong(), size);
    CountingDevice sink;
    ASSERT_TRUE(zip.Extract(&sink, 1)) << qPrintable(zip.LastError()); // checks the CRC
    EXPECT_EQ(sink.count, size);
    QByteArray after;
    ASSERT_TRUE(zip.Extract(after, QStringLiteral("after.txt")));
    EXPECT_EQ(after, QByteArray("after"));
}

TEST(Zip64Test, RefusesLargeEntriesWhenZip64IsOff) {
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("five.bin"));
    {
        QFile file(source);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(qint64(5) << 30));
    }
    cZipArchive zip;
    zip.AddFile(source);
    const QString archive = dir.filePath(QStringLiteral("no64.zip"));
    EXPECT_FALSE(zip.CompressArchive(archive, {}, 6, Utf8Mode::WhenNeeded, Zip64Mode::Never));
    EXPECT_EQ(zip.LastError(), QStringLiteral("Missing Zip64 extension above 4GB limit"));
    EXPECT_FALSE(QFile::exists(archive));
}

} // namespace
