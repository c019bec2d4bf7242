// Files the image page hands to the host decoder, through the whole viewer:
// shown with their frames, and left behind when the next file comes.

#include "ViewerFixture.h"

#include "platform/MessagePump.h"
#include "tests/common/DicomFiles.h"

#include <QDir>

#include <sys/statfs.h>

namespace {

using testing_support::pydicomFile;

class HostDecoding : public ViewerFixture {};

TEST_F(HostDecoding, AFileTheHostDecodesShowsItsFramesAndLoadsInQuickSuccessionEndWithTheLast) {
    ASSERT_TRUE(loadFile(pydicomFile("rtdose.dcm")));
    const Raised* dose = find("ImageLoaded");
    EXPECT_EQ(dose->args.value(1).toLong(), 10);
    EXPECT_EQ(dose->args.value(2).toLong(), 10);
    EXPECT_EQ(dose->args.value(9).toLong(), 15);

    // The next file asked for as soon as the dose grid's page is loaded, before
    // or while the host decodes for it: the last file is the one reported last.
    raised.clear();
    ASSERT_TRUE(viewer->call("LoadDicomFile", {Variant(pydicomFile("rtdose_rle.dcm"))}).toBool());
    ASSERT_TRUE(viewer->call("LoadDicomFile", {Variant(pydicomFile("CT_small.dcm"))}).toBool());
    ASSERT_TRUE(pump::waitUntil(
        [&] {
            return !raised.isEmpty() && raised.last().name == "ToolSelected" &&
                   viewer->get("dcmModality").toString() == "CT";
        },
        std::chrono::seconds(30)));
    pump::waitUntil([] { return false; }, std::chrono::milliseconds(1000));
    QStringList loaded;
    for (const Raised& event : raised) {
        if (event.name == "ImageLoaded")
            loaded.append(event.args.value(0).toString());
    }
    ASSERT_FALSE(loaded.isEmpty());
    EXPECT_EQ(loaded.last(), "CT_small.dcm") << loaded.join(", ").toStdString();
    EXPECT_EQ(viewer->get("dcmFile").toString(), "CT_small.dcm");
    EXPECT_EQ(viewer->get("dcmModality").toString(), "CT");
}

// The host writes the decoded frames to a folder of the viewer in memory, and
// takes them away when the page moves on.
TEST_F(HostDecoding, TheDecodedFramesLieInMemoryUntilThePageMovesOn) {
    struct statfs shm {};
    if (::statfs("/dev/shm", &shm) != 0 || shm.f_type != 0x01021994)
        GTEST_SKIP() << "/dev/shm is not a tmpfs here: the frames stay in the instance folder";
    ASSERT_TRUE(loadFile(pydicomFile("rtdose.dcm")));
    const QString instance = QDir(instanceFolder()).dirName();
    const QDir frames("/dev/shm/kestdicomview-" + instance);
    const QStringList pattern{"KDVAX_PIXELS_*.bin"};
    // The frame shown first, then the other fourteen in one part.
    ASSERT_TRUE(pump::waitUntil([&] { return frames.entryList(pattern, QDir::Files).size() == 2; },
                                std::chrono::seconds(30)));
    EXPECT_TRUE(QDir(instanceFolder()).entryList(pattern, QDir::Files).isEmpty());
    ASSERT_TRUE(loadFile(pydicomFile("CT_small.dcm")));
    EXPECT_TRUE(frames.entryList(pattern, QDir::Files).isEmpty());
}

} // namespace
