// Files larger than the image page can hold are refused before any of them
// is copied or read, with a message; the viewer goes on working.

#include "ViewerFixture.h"

#include "platform/UiServices.h"
#include "tests/common/DicomFiles.h"

#include <QDir>
#include <QFile>

namespace {

using testing_support::DicomBuilder;
using testing_support::pydicomFile;

// The process's peak resident memory in KiB, from the kernel.
qint64 peakResidentKiB() {
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

class LargeFiles : public ViewerFixture {
protected:
    void SetUp() override {
        ViewerFixture::SetUp();
        ui::setMessageBoxHook([this](const ui::MessageBoxRequest& request) {
            boxes.append(request.prompt);
            return 1;
        });
    }
    void TearDown() override {
        ui::setMessageBoxHook({});
        ViewerFixture::TearDown();
    }

    // A file of the given size whose holes read as zeros (no disk, no memory).
    QString sparse(const QString& name, const QByteArray& head, qint64 size) {
        const QString path = environment.root() + '/' + name;
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(head);
        EXPECT_TRUE(file.resize(size));
        return path;
    }

    void expectRefused(const QString& path) {
        boxes.clear();
        raised.clear();
        const qint64 peakBefore = peakResidentKiB();
        EXPECT_FALSE(viewer->call("LoadDicomFile", {Variant(path)}).toBool());
        ASSERT_EQ(boxes.size(), 1);
        EXPECT_TRUE(boxes.first().contains("too large")) << boxes.first().toStdString();
        EXPECT_TRUE(boxes.first().contains("512 MiB")) << boxes.first().toStdString();
        EXPECT_EQ(find("BeforeLoading"), nullptr);
        // Nothing was read into memory or copied beside the pages.
        EXPECT_LT(peakResidentKiB() - peakBefore, 64 * 1024);
        EXPECT_FALSE(QFile::exists(instanceFolder() + QFileInfo(path).fileName()));
    }

    QStringList boxes;
};

TEST_F(LargeFiles, AreRefusedAndTheNextFileShows) {
    ASSERT_TRUE(loadDemo());
    QByteArray preamble(132, '\0');
    preamble.replace(128, 4, "DICM");
    expectRefused(sparse("huge.dcm", preamble, qint64(2) << 30));

    // A real header whose pixel data claims a gigabyte.
    const QByteArray header =
        DicomBuilder().add(0x0008, 0x0060, "CS", "OT").addUs(0x0028, 0x0010, 16384).build();
    QByteArray pixels = header;
    pixels += QByteArray::fromHex("e07f1000") + "OW" + QByteArray(2, '\0');
    const quint32 length = 1u << 30;
    pixels += QByteArray(reinterpret_cast<const char*>(&length), 4);
    expectRefused(sparse("gigabyte.dcm", pixels, pixels.size() + length));

    // Refused for its size only: it is still a DICOM file.
    EXPECT_TRUE(viewer->call("IsDicomFile", {Variant(environment.root() + "/huge.dcm")}).toBool());
    ASSERT_TRUE(loadFile(pydicomFile("MR_small.dcm")));
    EXPECT_EQ(viewer->get("dcmModality").toString(), "MR");
}

} // namespace
