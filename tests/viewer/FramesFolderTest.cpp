#include "viewer/FramesFolder.h"
#include "tests/common/QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/statfs.h>

namespace {

bool sharedMemoryIsTmpfs() {
    struct statfs info {};
    return ::statfs("/dev/shm", &info) == 0 && info.f_type == 0x01021994;
}

QString uniqueName() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

class FramesFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!sharedMemoryIsTmpfs())
            GTEST_SKIP() << "/dev/shm is not a tmpfs here: the frames stay in the instance folder";
        // The runtime folder of the tests is on disk: the frames go to /dev/shm.
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(fallback.path()));
    }

    QTemporaryDir fallback;
};

TEST_F(FramesFolderTest, IsAPrivateFolderInMemoryRemovedWithItsFiles) {
    const QString name = uniqueName();
    QString path;
    {
        FramesFolder frames(name, fallback.path() + '/');
        ASSERT_TRUE(frames.inMemory());
        path = frames.path();
        EXPECT_EQ(path, "/dev/shm/kestdicomview-" + name + '/');
        struct stat info {};
        ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u);
        QFile(path + "KDVAX_PIXELS_0.bin").open(QIODevice::WriteOnly);
        QFile(path + "KDVAX_PIXELS_F3_0.bin").open(QIODevice::WriteOnly);
        frames.removeFiles("KDVAX_PIXELS_F3_*.bin");
        EXPECT_TRUE(QFile::exists(path + "KDVAX_PIXELS_0.bin"));
        EXPECT_FALSE(QFile::exists(path + "KDVAX_PIXELS_F3_0.bin"));
        FramesFolder moved = std::move(frames);
        EXPECT_EQ(moved.path(), path);
    }
    EXPECT_FALSE(QDir(path).exists()) << "removed once, by the object it was moved to";
}

TEST_F(FramesFolderTest, ANameTakenByAnotherFolderOrALinkIsNeverUsed) {
    const QString open = uniqueName();
    const QString openPath = "/dev/shm/kestdicomview-" + open;
    ASSERT_TRUE(QDir().mkdir(openPath));
    QFile::setPermissions(openPath, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                        QFile::ReadOther | QFile::ExeOther);
    const QString linked = uniqueName();
    const QString linkPath = "/dev/shm/kestdicomview-" + linked;
    ASSERT_TRUE(QFile::link(fallback.path(), linkPath));
    {
        const FramesFolder readable(open, fallback.path() + '/');
        EXPECT_FALSE(readable.inMemory());
        EXPECT_EQ(readable.path(), fallback.path() + '/');
        const FramesFolder throughLink(linked, fallback.path() + '/');
        EXPECT_FALSE(throughLink.inMemory());
    }
    EXPECT_TRUE(QDir(openPath).exists()) << "a folder it did not make is left alone";
    QDir().rmdir(openPath);
    QFile::remove(linkPath);
}

} // namespace
