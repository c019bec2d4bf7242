#include "ZipTestSupport.h"
#include "zip/cZipArchive.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QTemporaryDir>

using namespace ZipTest;
#include <QFileInfo>

#include <random>

namespace {

// A small tree with text, incompressible bytes, an empty file and a nested folder.
class InteropTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        QByteArray noise(300000, Qt::Uninitialized);
        std::mt19937 random(7);
        for (char& c : noise)
            c = char(random());
        writeFile(path("src/readme.txt"), QByteArray("line of text\n").repeated(4000));
        writeFile(path("src/bin/noise.dat"), noise);
        writeFile(path("src/bin/empty.dat"), {});
        writeFile(path("src/deep/er/leaf.txt"), "leaf");
    }

    QString path(const char* relative) const { return m_dir.filePath(QLatin1String(relative)); }

    // Extracts with cZipArchive and compares every file with the source tree.
    void expectExtractsToSource(const QString& archive, const QString& password) {
        cZipArchive zip;
        ASSERT_TRUE(zip.OpenArchive(archive)) << qPrintable(zip.LastError());
        const QString out = path("out");
        QDir(out).removeRecursively();
        ASSERT_TRUE(zip.Extract(out, {}, password)) << qPrintable(zip.LastError());
        expectSameTree(path("src"), out + QStringLiteral("/src"));
    }

    static void expectSameTree(const QString& expected, const QString& actual) {
        QStringList files;
        for (const QString& file : filesBelow(expected))
            if (QFileInfo(expected + QLatin1Char('/') + file).isFile())
                files << file;
        ASSERT_EQ(files.size(), 4);
        for (const QString& file : files)
            EXPECT_EQ(readFile(actual + QLatin1Char('/') + file),
                      readFile(expected + QLatin1Char('/') + file))
                << qPrintable(file);
    }

    QString create(const char* name, const QString& password, int strength, int level,
                   Zip64Mode zip64 = Zip64Mode::WhenNeeded) {
        cZipArchive zip;
        EXPECT_TRUE(zip.AddFromFolder(path("src"), true, QStringLiteral("src"), false, password,
                                      strength, level));
        const QString archive = path(name);
        EXPECT_TRUE(zip.CompressArchive(archive, QStringLiteral("made here"), level,
                                        Utf8Mode::WhenNeeded, zip64))
            << qPrintable(zip.LastError());
        return archive;
    }

    QTemporaryDir m_dir;
};

TEST_F(InteropTest, ExtractsArchivesMadeByInfoZip) {
    if (QStandardPaths::findExecutable(QStringLiteral("zip")).isEmpty())
        GTEST_SKIP() << "Info-ZIP zip is not installed";
    const struct {
        const char* label;
        QStringList options;
        QString password;
    } cases[] = {
        {"stored", {"-0"}, {}},
        {"deflated", {"-9"}, {}},
        {"traditional encryption", {"-P", "zip pass"}, QStringLiteral("zip pass")},
        {"data descriptors", {"-fd"}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        QFile::remove(path("iz.zip"));
        const RunResult made =
            run(QStringLiteral("zip"),
                QStringList{"-qr"} + c.options + QStringList{"iz.zip", "src"}, m_dir.path());
        ASSERT_EQ(made.exitCode, 0) << qPrintable(made.output);
        expectExtractsToSource(path("iz.zip"), c.password);
    }
}

TEST_F(InteropTest, ExtractsAes256ArchivesMadeBy7Zip) {
    const QString sevenZ = sevenZip();
    if (sevenZ.isEmpty())
        GTEST_SKIP() << "neither 7zz nor 7z is installed";
    const RunResult made =
        run(sevenZ, {"a", "-tzip", "-mem=AES256", "-p7z pass", "7z.zip", "src"}, m_dir.path());
    ASSERT_EQ(made.exitCode, 0) << qPrintable(made.output);
    cZipArchive zip;
    ASSERT_TRUE(zip.OpenArchive(path("7z.zip")));
    EXPECT_EQ(zip.FileInfo(QStringLiteral("src/readme.txt"), cZipArchive::Method).toInt(), 8);
    expectExtractsToSource(path("7z.zip"), QStringLiteral("7z pass"));
}

TEST_F(InteropTest, InfoZipTestsArchivesMadeHere) {
    if (QStandardPaths::findExecutable(QStringLiteral("unzip")).isEmpty())
        GTEST_SKIP() << "Info-ZIP unzip is not installed";
    const struct {
        const char* name;
        QString password;
        int level;
        Zip64Mode zip64;
    } cases[] = {
        {"deflated.zip", {}, 6, Zip64Mode::WhenNeeded},
        {"stored.zip", {}, 0, Zip64Mode::WhenNeeded},
        {"traditional.zip", QStringLiteral("pass word"), 6, Zip64Mode::WhenNeeded},
        {"zip64.zip", {}, 6, Zip64Mode::Always},
        {"zip64-traditional.zip", QStringLiteral("pw"), 9, Zip64Mode::Always},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString archive = create(c.name, c.password, 0, c.level, c.zip64);
        const RunResult tested = run(QStringLiteral("unzip"), {"-t", "-P", c.password, archive});
        EXPECT_EQ(tested.exitCode, 0) << qPrintable(tested.output);
        EXPECT_TRUE(tested.output.contains(QStringLiteral("No errors detected")));
        QDir(path("unzipped")).removeRecursively();
        const RunResult unzipped =
            run(QStringLiteral("unzip"), {"-q", "-P", c.password, archive, "-d", path("unzipped")});
        EXPECT_EQ(unzipped.exitCode, 0) << qPrintable(unzipped.output);
        expectSameTree(path("src"), path("unzipped/src"));
    }
}

TEST_F(InteropTest, SevenZipTestsAesArchivesMadeHere) {
    const QString sevenZ = sevenZip();
    if (sevenZ.isEmpty())
        GTEST_SKIP() << "neither 7zz nor 7z is installed";
    for (int strength : {1, 2, 3}) {
        SCOPED_TRACE(strength);
        const QString archive = create("aes.zip", QStringLiteral("aes pass"), strength, 6);
        const RunResult tested = run(sevenZ, {"t", "-paes pass", archive});
        EXPECT_EQ(tested.exitCode, 0) << qPrintable(tested.output);
        EXPECT_TRUE(tested.output.contains(QStringLiteral("Everything is Ok")));
        const RunResult wrong = run(sevenZ, {"t", "-pwrong", archive});
        EXPECT_NE(wrong.exitCode, 0);
        QFile::remove(archive);
    }
}

} // namespace
