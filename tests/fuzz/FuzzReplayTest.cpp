// Replays every seed and regression input of each fuzz target through the target itself, so
// that the ordinary test run keeps them passing without libFuzzer.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <cstddef>
#include <cstdint>

using FuzzEntry = int (*)(const std::uint8_t*, std::size_t);

// Each target's entry point, renamed at compile time for this program.
extern "C" int fuzzJsonCodec(const std::uint8_t*, std::size_t);
extern "C" int fuzzIni(const std::uint8_t*, std::size_t);
extern "C" int fuzzExtractJsonValue(const std::uint8_t*, std::size_t);
extern "C" int fuzzPageMessage(const std::uint8_t*, std::size_t);
extern "C" int fuzzZipArchive(const std::uint8_t*, std::size_t);
extern "C" int fuzzIsDicomFile(const std::uint8_t*, std::size_t);
extern "C" int fuzzCrxToZip(const std::uint8_t*, std::size_t);
extern "C" int fuzzSeriesHeader(const std::uint8_t*, std::size_t);

namespace {

QStringList inputsOf(const QString& folder) {
    QStringList paths;
    const QDir dir(QStringLiteral(KEST_FUZZ_DATA_DIR "/") + folder);
    for (const QString& name : dir.entryList(QDir::Files, QDir::Name))
        paths << dir.filePath(name);
    return paths;
}

// Feeds every corpus and regression file of the target through its entry point.
void replay(const QString& target, FuzzEntry entry) {
    const QStringList corpus = inputsOf(QStringLiteral("corpus/") + target);
    ASSERT_FALSE(corpus.isEmpty()) << "no seed corpus for " << target.toStdString();
    for (const QString& path : corpus + inputsOf(QStringLiteral("regressions/") + target)) {
        SCOPED_TRACE(path.toStdString());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        EXPECT_EQ(entry(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                        std::size_t(bytes.size())),
                  0);
    }
}

} // namespace

TEST(FuzzReplayTest, JsonCodec) {
    replay(QStringLiteral("json_codec"), fuzzJsonCodec);
}

TEST(FuzzReplayTest, Ini) {
    replay(QStringLiteral("ini"), fuzzIni);
}

TEST(FuzzReplayTest, ExtractJsonValue) {
    replay(QStringLiteral("extract_json_value"), fuzzExtractJsonValue);
}

TEST(FuzzReplayTest, PageMessage) {
    replay(QStringLiteral("page_message"), fuzzPageMessage);
}

TEST(FuzzReplayTest, ZipArchive) {
    replay(QStringLiteral("zip_archive"), fuzzZipArchive);
}

TEST(FuzzReplayTest, IsDicomFile) {
    replay(QStringLiteral("is_dicom_file"), fuzzIsDicomFile);
}

TEST(FuzzReplayTest, CrxToZip) {
    replay(QStringLiteral("crx_to_zip"), fuzzCrxToZip);
}

TEST(FuzzReplayTest, SeriesHeader) {
    replay(QStringLiteral("series_header"), fuzzSeriesHeader);
}
