// The working copy: a second name of the shown file where the file system
// allows, a real copy elsewhere, never a link that could dangle.
#include "viewer/WorkingCopy.h"

#include "tests/common/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

using testing_support::writeTestFile;

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

ino_t inode(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
}

TEST(WorkingCopy, IsTheSameFileOnTheSameFileSystemAndLeavesTheSourceWhenDeleted) {
    QTemporaryDir dir;
    const QString source = writeTestFile(dir, "source.dcm", "DICM-bytes");
    const QString target = writeTestFile(dir, "copy.dcm", "an older working copy");
    ASSERT_TRUE(workingcopy::place(source, target));
    EXPECT_EQ(inode(target), inode(source));
    EXPECT_EQ(contents(target), "DICM-bytes");
    ASSERT_TRUE(QFile::remove(target));
    EXPECT_EQ(contents(source), "DICM-bytes");
}

TEST(WorkingCopy, ASymbolicLinkIsResolvedNotLinkedTo) {
    QTemporaryDir dir;
    writeTestFile(dir, "files/real.dcm", "real");
    // A relative link: the same link in another folder would point nowhere.
    ASSERT_TRUE(QFile::link("real.dcm", dir.filePath("files/alias.dcm")));
    ASSERT_TRUE(QDir(dir.path()).mkpath("instance"));
    const QString target = dir.filePath("instance/alias.dcm");
    ASSERT_TRUE(workingcopy::place(dir.filePath("files/alias.dcm"), target));
    EXPECT_FALSE(QFileInfo(target).isSymLink());
    EXPECT_EQ(contents(target), "real");
}

TEST(WorkingCopy, AnotherFileSystemGetsACopyAndAMissingFileNothing) {
    QTemporaryDir dir;
    QTemporaryDir memory(QStringLiteral("/dev/shm/kest-working-copy-XXXXXX"));
    if (!memory.isValid())
        GTEST_SKIP() << "no second file system at /dev/shm";
    const QString source = writeTestFile(memory, "source.dcm", "elsewhere");
    const QString target = dir.filePath("copy.dcm");
    ASSERT_TRUE(workingcopy::place(source, target));
    EXPECT_NE(inode(target), inode(source));
    EXPECT_EQ(contents(target), "elsewhere");

    EXPECT_FALSE(workingcopy::place(dir.filePath("missing.dcm"), dir.filePath("none.dcm")));
    EXPECT_FALSE(QFile::exists(dir.filePath("none.dcm")));
}

} // namespace
