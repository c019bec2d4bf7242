#include "RenderRun.h"

#include "tests/common/DicomFiles.h"
#include "tests/common/QtPrinters.h"

#include <QImage>

#include <gtest/gtest.h>

namespace {

using testing_support::dcmdumpValue;
using testing_support::pydicomFile;

struct RealFile {
    const char* name;
    int frames;
};

// What dcmdump reads, as the viewer should report it.
void expectReportedAsDumped(const RenderRun& run, const QString& path, int frames) {
    const QJsonObject loaded = run.last("ImageLoaded");
    ASSERT_FALSE(loaded.isEmpty()) << run.errors().toStdString();
    EXPECT_EQ(loaded.value("NoImage").toBool(), false);
    EXPECT_EQ(loaded.value("Width").toInt(), dcmdumpValue(path, "0028,0011").toInt());
    EXPECT_EQ(loaded.value("Height").toInt(), dcmdumpValue(path, "0028,0010").toInt());
    EXPECT_EQ(loaded.value("Modality").toString(), dcmdumpValue(path, "0008,0060"));
    EXPECT_EQ(loaded.value("Nom").toString(), dcmdumpValue(path, "0010,0010"));
    EXPECT_EQ(loaded.value("DateExamen").toString(), dcmdumpValue(path, "0008,0020"));
    EXPECT_EQ(loaded.value("TotalFrames").toInt(), frames);
    EXPECT_EQ(loaded.value("MultiFrame").toBool(), frames > 1);
    const QStringList spacing = dcmdumpValue(path, "0028,0030").split('\\');
    if (spacing.size() == 2) {
        EXPECT_DOUBLE_EQ(loaded.value("RowSpacing").toDouble(), spacing[0].toDouble());
        EXPECT_DOUBLE_EQ(loaded.value("ColSpacing").toDouble(), spacing[1].toDouble());
    } else {
        EXPECT_EQ(loaded.value("RowSpacing").toDouble(), -1.0);
    }
}

void expectSavedPicture(const QString& picture, const QJsonObject& loaded) {
    const QImage image(picture);
    ASSERT_FALSE(image.isNull()) << picture.toStdString();
    EXPECT_EQ(image.width(), loaded.value("Width").toInt());
    EXPECT_EQ(image.height(), loaded.value("Height").toInt());
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += std::max(1, image.height() / 16))
        for (int x = 0; x < image.width(); x += std::max(1, image.width() / 16))
            colours.insert(image.pixel(x, y));
    EXPECT_GT(colours.size(), 4) << "the saved picture is blank";
}

void renderAndCheck(std::initializer_list<RealFile> files) {
    for (const RealFile& file : files) {
        SCOPED_TRACE(file.name);
        const QString path = pydicomFile(QString::fromLatin1(file.name));
        RenderRun run;
        ASSERT_TRUE(run.run(path, {"--image", "out.png"})) << run.errors().toStdString();
        expectReportedAsDumped(run, path, file.frames);
        expectSavedPicture(run.output("out.png"), run.last("ImageLoaded"));
        EXPECT_EQ(run.last("ToolSelected").value("ToolName").toString(), "Wwwc");
        EXPECT_EQ(run.count("BeforeLoading"), 1);
    }
}

TEST(RenderUncompressed, ReportsWhatTheFileHolds) {
    renderAndCheck({{"CT_small.dcm", 1}, {"MR_small_bigendian.dcm", 1}, {"image_dfl.dcm", 1}});
}

TEST(RenderCompressed, DecodesEveryTransferSyntax) {
    renderAndCheck({{"MR_small_RLE.dcm", 1},
                    {"JPEG2000.dcm", 1},
                    {"MR_small_jpeg_ls_lossless.dcm", 1},
                    {"JPGExtended.dcm", 1},
                    {"SC_rgb_jpeg_dcmtk.dcm", 1}});
}

TEST(RenderMultiFrame, ReportsItsFrames) {
    renderAndCheck({{"SC_rgb_rle_2frame.dcm", 2}});
}

TEST(RenderJpeg, SavesAJpegPicture) {
    RenderRun run;
    ASSERT_TRUE(run.run(pydicomFile("CT_small.dcm"), {"--image", "out.jpg"}))
        << run.errors().toStdString();
    QFile file(run.output("out.jpg"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.read(2) == QByteArray("\xFF\xD8"));
    expectSavedPicture(run.output("out.jpg"), run.last("ImageLoaded"));
}

TEST(RenderInvert, InvertsOnLoad) {
    RenderRun run;
    ASSERT_TRUE(run.run(pydicomFile("CT_small.dcm"), {"--invert"})) << run.errors().toStdString();
    EXPECT_TRUE(run.last("InvertStatusChange").value("IsInverted").toBool());
}

} // namespace
