// What the viewer reports and saves of the image page's display: one
// ultrasound region's spacings in millimetres, shutters in the saved image,
// overlay planes in the page's capture but not in the saved image (as the
// text overlay), and those of frames the host decodes.

#include "RenderRun.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

namespace {

class DisplayRender : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(QProcess::execute(QStringLiteral(KEST_SYSTEM_PYTHON),
                                    {QStringLiteral(KEST_DISPLAY_FILES), folder.path()}),
                  0);
    }
    QString file(const char* name) const { return folder.filePath(QString::fromLatin1(name)); }

    QTemporaryDir folder;
};

int pixelsOf(const QImage& picture, QRgb colour) {
    int count = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            count += (picture.pixel(x, y) & 0xffffff) == (colour & 0xffffff);
    return count;
}

TEST_F(DisplayRender, OneUltrasoundRegionGivesItsSpacingsInMillimetres) {
    RenderRun one;
    ASSERT_TRUE(one.run(file("ultrasound_one_region.dcm"))) << one.errors().toStdString();
    EXPECT_DOUBLE_EQ(one.last("ImageLoaded").value("RowSpacing").toDouble(), 0.2);
    EXPECT_DOUBLE_EQ(one.last("ImageLoaded").value("ColSpacing").toDouble(), 0.1);
    RenderRun two;
    ASSERT_TRUE(two.run(file("ultrasound_two_regions.dcm"))) << two.errors().toStdString();
    EXPECT_EQ(two.last("ImageLoaded").value("RowSpacing").toDouble(), -1.0);
    EXPECT_EQ(two.last("ImageLoaded").value("ColSpacing").toDouble(), -1.0);
}

TEST_F(DisplayRender, OverlayPlanesAreInThePagesCaptureNotInTheSavedImage) {
    RenderRun run;
    ASSERT_TRUE(
        run.run(file("overlay_planes.dcm"), {"--image", "image.png", "--canvas", "page.png"}))
        << run.errors().toStdString();
    const QRgb planeColour = qRgb(255, 64, 255);
    EXPECT_EQ(pixelsOf(QImage(run.output("image.png")), planeColour), 0);
    EXPECT_GT(pixelsOf(QImage(run.output("page.png")), planeColour), 2 * 64);
}

// JPEG-LS frames are decoded by the host: the overlay in their high bits is
// drawn, and the values keep their stored bits only.
TEST_F(DisplayRender, OverlayPlanesInHighBitsOfFramesTheHostDecodes) {
    RenderRun run;
    ASSERT_TRUE(run.run(file("overlay_high_bits_jls.dcm"),
                        {"--values", "image.values", "--canvas", "page.png"}))
        << run.errors().toStdString();
    EXPECT_GT(pixelsOf(QImage(run.output("page.png")), qRgb(255, 64, 255)), 100);
    QFile values(run.output("image.values"));
    ASSERT_TRUE(values.open(QIODevice::ReadOnly));
    values.readLine();
    const QByteArray samples = values.readAll();
    ASSERT_EQ(samples.size(), 64 * 64 * 2);
    int other = 0;
    for (int i = 0; i < 64 * 64; ++i)
        other += qFromLittleEndian<quint16>(samples.constData() + 2 * i) != 1000;
    EXPECT_EQ(other, 0);
}

TEST_F(DisplayRender, ShuttersAreInTheSavedImage) {
    RenderRun run;
    ASSERT_TRUE(run.run(file("shutter_combined.dcm"), {"--image", "image.png"}))
        << run.errors().toStdString();
    const QImage picture(run.output("image.png"));
    ASSERT_EQ(picture.size(), QSize(64, 64));
    EXPECT_NEAR(qRed(picture.pixel(10, 10)), 128, 3);
    EXPECT_GT(qRed(picture.pixel(32, 32)), 240);
}

} // namespace
