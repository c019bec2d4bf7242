#include "viewer/StudyFolder.h"
#include "tests/common/QtPrinters.h"
#include "tests/common/TestFiles.h"
#include "viewer/PageAssets.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <future>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using namespace studyfolder;

QByteArray dicomBytes() {
    QByteArray bytes(132, '\0');
    bytes.replace(128, 4, "DICM");
    return bytes;
}

class StudyFolderTest : public ::testing::Test {
protected:
    QString write(const QString& name, const QByteArray& bytes) {
        return testing_support::writeTestFile(dir, name, bytes);
    }
    QByteArray encoded(const QString& name) const { return QFile::encodeName(dir.filePath(name)); }

    QTemporaryDir dir;
};

TEST(NaturalOrder, CaseIsIgnoredAndNumbersCompareByValue) {
    QStringList names = {"img10", "IMG2", "img1", "b", "A", "img02", "img1a", "x100", "x99"};
    std::sort(names.begin(), names.end(), naturalLess);
    EXPECT_EQ(names,
              QStringList({"A", "b", "img1", "img1a", "IMG2", "img02", "img10", "x99", "x100"}));
    // The order is total: names equal but for case or zeros still have a fixed order.
    EXPECT_NE(naturalLess("a", "A"), naturalLess("A", "a"));
    EXPECT_NE(naturalLess("f01", "f1"), naturalLess("f1", "f01"));
    EXPECT_FALSE(naturalLess("same", "same"));
    // Very long digit runs are not converted to numbers.
    EXPECT_TRUE(naturalLess("9" + QString(40, '9'), "1" + QString(50, '0')));
}

TEST_F(StudyFolderTest, ListsOrdinaryDicomFilesOnlySorted) {
    write("IM10", dicomBytes());
    write("IM2", dicomBytes());
    write("im1.dcm", dicomBytes());
    write("notes.txt", "hello");
    write("short", "DICM");
    write(".hidden", dicomBytes());
    write("sub/IM3", dicomBytes());
    ASSERT_EQ(symlink(encoded("IM2").constData(), encoded("link-to-file").constData()), 0);
    ASSERT_EQ(symlink(encoded("sub").constData(), encoded("link-to-folder").constData()), 0);
    ASSERT_EQ(symlink("/nowhere/at/all", encoded("dangling").constData()), 0);
    EXPECT_EQ(dicomFileNames(dir.path()), QStringList({"im1.dcm", "IM2", "IM10", "link-to-file"}));
    EXPECT_TRUE(holdsFiles(dir.path()));
    EXPECT_TRUE(dicomFileNames(dir.filePath("missing")).isEmpty());
}

TEST_F(StudyFolderTest, HiddenNamesAndFoldersAreNoFiles) {
    write(".DS_Store", "x");
    QDir(dir.path()).mkdir("sub");
    EXPECT_FALSE(holdsFiles(dir.path()));
    write("readme", "x");
    EXPECT_TRUE(holdsFiles(dir.path()));
    EXPECT_TRUE(dicomFileNames(dir.path()).isEmpty());
}

// A FIFO opened for reading waits for a writer: neither the listing nor the
// single-file test may open one, nor a socket.
TEST_F(StudyFolderTest, SpecialFilesAreNeverOpened) {
    write("IM1", dicomBytes());
    ASSERT_EQ(mkfifo(encoded("fifo.dcm").constData(), 0600), 0);
    ASSERT_EQ(symlink(encoded("fifo.dcm").constData(), encoded("link-to-fifo").constData()), 0);
    const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray socketPath = encoded("sock");
    ASSERT_LT(socketPath.size(), qsizetype(sizeof address.sun_path));
    std::memcpy(address.sun_path, socketPath.constData(), socketPath.size());
    ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    auto listing = std::async(std::launch::async, [this] { return dicomFileNames(dir.path()); });
    ASSERT_EQ(listing.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(listing.get(), QStringList({"IM1"}));
    auto single = std::async(std::launch::async,
                             [this] { return pageassets::isDicomFile(dir.filePath("fifo.dcm")); });
    ASSERT_EQ(single.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_FALSE(single.get());
    close(sock);
}

TEST_F(StudyFolderTest, TenThousandFilesAreAllListed) {
    const QByteArray dicom = dicomBytes();
    for (int i = 0; i < 10000; ++i)
        write(QStringLiteral("F%1").arg(i), i % 10 == 0 ? QByteArray("not dicom") : dicom);
    const QStringList names = dicomFileNames(dir.path());
    ASSERT_EQ(names.size(), 9000);
    EXPECT_EQ(names.first(), QStringLiteral("F1"));
    EXPECT_EQ(names.last(), QStringLiteral("F9999"));
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end(), naturalLess));
}

TEST_F(StudyFolderTest, PageUrlsBecomeNativePathsUndecoded) {
    EXPECT_EQ(pathFromPageUrl("file:///media/cd1/DICOM/IM1"),
              QStringLiteral("/media/cd1/DICOM/IM1"));
    EXPECT_EQ(pathFromPageUrl("file:///a%20b/c d"), QStringLiteral("/a%20b/c d"));
    EXPECT_EQ(pathFromPageUrl("/plain/path"), QStringLiteral("/plain/path"));
}

TEST_F(StudyFolderTest, MissingPathsAreMatchedWithoutRegardToCase) {
    const QString image = write("Cd1/dicom/im00001", dicomBytes());
    const QString root = dir.path();
    EXPECT_EQ(resolveIgnoringCase(root + "/CD1/DICOM/IM00001"), image);
    EXPECT_EQ(resolveIgnoringCase(image), image);
    // Unmatched or relative paths come back as they were.
    EXPECT_EQ(resolveIgnoringCase(root + "/CD1/DICOM/IM2"), root + "/CD1/DICOM/IM2");
    EXPECT_EQ(resolveIgnoringCase("relative/IM1"), QStringLiteral("relative/IM1"));
    EXPECT_EQ(resolveIgnoringCase({}), QString());
    // A plain "i" matches "I" whatever the process locale (no Turkish dotted I).
    write("Cd1/dicom/DIR", dicomBytes());
    EXPECT_EQ(resolveIgnoringCase(root + "/cd1/DICOM/dir"), root + "/Cd1/dicom/DIR");
}

TEST(DicomdirPage, FolderTextIsEscapedForTheTemplate) {
    const QString page = pageassets::dicomdirPage(
        "<meta name=\"kest-dicomdir\" content=\"###DICOMDIR###\"><p>###DICOMDIR###</p>"
        "<meta content=\"script-src ###SCRIPTSRC###\">",
        "/media/a\"b'<c>&d", "/x/Temp/{ID}");
    EXPECT_EQ(page, QStringLiteral("<meta name=\"kest-dicomdir\" content=\"/media/a&quot;b&#39;"
                                   "&lt;c&gt;&amp;d\"><p>/media/a&quot;b&#39;&lt;c&gt;&amp;d</p>"
                                   "<meta content=\"script-src file://*/x/Bin/\">"));
}

} // namespace
