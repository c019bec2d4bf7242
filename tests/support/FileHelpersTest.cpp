#include "platform/UiServices.h"
#include "platform/automation/AutomationError.h"
#include "support/modOperationFichierSimple.h"
#include "support/modWait.h"
#include "tests/common/TestApp.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

struct PathCase {
    const char* input;
    const char* expected;
};

void expectAll(QString (*helper)(const QString&), std::initializer_list<PathCase> cases) {
    for (const auto& c : cases)
        EXPECT_EQ(helper(QString::fromUtf8(c.input)), QString::fromUtf8(c.expected)) << c.input;
}

TEST(PathText, SeparatorsAndParts) {
    expectAll(files::withTrailingSeparator,
              {{"/a/b", "/a/b/"}, {"/a/b/", "/a/b/"}, {"/a/b/  ", "/a/b/"}, {"", "/"}});
    expectAll(files::withoutTrailingSeparator,
              {{"/a/b/", "/a/b"}, {"/a/b/  ", "/a/b"}, {"/a/b//", "/a/b/"}, {"/a", "/a"}});
    expectAll(files::fileNamePart,
              {{"/a/b.dcm", "b.dcm"}, {"b.dcm", "b.dcm"}, {"/a/", ""}, {"", ""}});
    expectAll(files::folderPart, {{"/a/b.dcm", "/a"}, {"b.dcm", ""}, {"/b", ""}});
    expectAll(files::extension, {{"/a/b.DCM", "DCM"},
                                 {"/a.d/b", ""}, // a dot in a folder name is not an extension
                                 {"/a/b.tar.gz", "gz"},
                                 {"", ""}});
}

class FileHelpersTest : public ::testing::Test {
protected:
    void SetUp() override { testing_support::app(); }
    QString path(const QString& relative) const { return dir.path() + "/" + relative; }
    QTemporaryDir dir;
};

TEST_F(FileHelpersTest, FileAndFolderTests) {
    QFile file(path("f.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_TRUE(files::fileExists(path("f.txt")));
    EXPECT_FALSE(files::folderExists(path("f.txt")));
    EXPECT_FALSE(files::fileExists(dir.path()));
    EXPECT_TRUE(files::folderExists(dir.path()));
    EXPECT_FALSE(files::fileExists(path("none")));
    EXPECT_FALSE(files::fileExists(""));
    files::deleteFile(path("f.txt"));
    files::deleteFile(path("none")); // no error
    EXPECT_FALSE(QFile::exists(path("f.txt")));
}

TEST_F(FileHelpersTest, FolderTreeStopsAtTheLastSeparator) {
    files::createFolderTree(path("a/b/c/"));
    EXPECT_TRUE(QDir(path("a/b/c")).exists());
    files::createFolderTree(path("x/y/z"));
    EXPECT_TRUE(QDir(path("x/y")).exists());
    EXPECT_FALSE(QDir(path("x/y/z")).exists());
    files::createFolderTree(path("a/b/c/")); // existing folders are no error
    EXPECT_TRUE(QDir(path("a/b/c")).exists());
}

TEST_F(FileHelpersTest, TextFilesRoundTripExactly) {
    const QString text = QString::fromUtf8("line 1\r\nligne 2 \xC3\xA9t\xC3\xA9\nno final newline");
    ASSERT_TRUE(files::writeTextFile(text, path("t.txt"), false));
    EXPECT_EQ(files::readTextFile(path("t.txt")), text);
    ASSERT_TRUE(files::writeTextFile("short", path("t.txt"), false)); // replaced, not overwritten
    EXPECT_EQ(files::readTextFile(path("t.txt")), QStringLiteral("short"));
}

TEST_F(FileHelpersTest, ReadingAMissingFileWaitsThenRaises53) {
    QElapsedTimer timer;
    timer.start();
    try {
        files::readTextFile(path("missing.txt"));
        FAIL() << "no error raised";
    } catch (const AutomationError& error) {
        EXPECT_EQ(error.number(), 53);
    }
    EXPECT_GE(timer.elapsed(), 3000);
}

TEST_F(FileHelpersTest, ReadingWaitsForAFileThatAppears) {
    QTimer::singleShot(200, [this] {
        QFile file(path("late.txt"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("arrived");
    });
    EXPECT_EQ(files::readTextFile(path("late.txt")), QStringLiteral("arrived"));
}

TEST_F(FileHelpersTest, WriteFailuresAreSilentWithoutAsking) {
    int boxes = 0;
    ui::setMessageBoxHook([&](const ui::MessageBoxRequest&) { return ++boxes; });
    EXPECT_FALSE(files::writeTextFile("x", path("no/such/folder/f.txt"), false));
    EXPECT_FALSE(files::writeTextFile("x", path("bad/"), false));
    EXPECT_EQ(boxes, 0);
    ui::setMessageBoxHook(nullptr);
}

TEST_F(FileHelpersTest, BadNameAsksForAnotherOne) {
    QList<ui::InputBoxRequest> asked;
    const QString corrected = path("corrected.pdf");
    ui::setInputBoxHook([&](const ui::InputBoxRequest& request) {
        asked.append(request);
        return corrected;
    });
    EXPECT_TRUE(files::writeTextFile("%PDF", path("dir/"), true));
    ui::setInputBoxHook(nullptr);
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked[0].title, QStringLiteral("Nom Invalide..."));
    EXPECT_EQ(asked[0].prompt, QStringLiteral("Le nom '") + path("dir/") +
                                   QStringLiteral("' \nparait invalide : Merci de le corriger :"));
    EXPECT_EQ(asked[0].defaultText, path("dir/"));
    EXPECT_EQ(files::readTextFile(corrected), QStringLiteral("%PDF"));

    ui::setInputBoxHook([](const ui::InputBoxRequest&) { return QString(); });
    EXPECT_FALSE(files::writeTextFile("%PDF", path("dir/"), true)); // an empty answer gives up
    ui::setInputBoxHook(nullptr);
}

TEST_F(FileHelpersTest, OtherErrorsAreShownOnceWhenAsking) {
    QList<ui::MessageBoxRequest> shown;
    ui::setMessageBoxHook([&](const ui::MessageBoxRequest& request) {
        shown.append(request);
        return int(ui::MsgBox::Ok);
    });
    EXPECT_FALSE(files::writeTextFile("x", path("no/such/folder/f.txt"), true));
    ui::setMessageBoxHook(nullptr);
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].title, QStringLiteral("Erreur"));
    EXPECT_EQ(shown[0].prompt, QStringLiteral("Erreur : 76\nPath not found"));
}

TEST_F(FileHelpersTest, WaitsPumpEvents) {
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    waits::pump(1);
    EXPECT_TRUE(ran);

    ran = false;
    QTimer::singleShot(50, [&] { ran = true; });
    QElapsedTimer timer;
    timer.start();
    waits::waitSeconds(0.2, true);
    EXPECT_TRUE(ran);
    EXPECT_GE(timer.elapsed(), 200);

    // A condition ends the wait as soon as it holds; a negative or huge time
    // neither waits forever nor overflows into a wait that ends at once.
    ran = false;
    QTimer::singleShot(20, [&] { ran = true; });
    timer.restart();
    EXPECT_TRUE(waits::waitUntil([&] { return ran; }, 1e12));
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_FALSE(waits::waitUntil([] { return false; }, -5));
    timer.restart();
    EXPECT_FALSE(waits::waitUntil([] { return false; }, 0.1, true));
    EXPECT_GE(timer.elapsed(), 100);
}

} // namespace
