#include "DicomFiles.h"
#include "PageHarness.h"

#include <QByteArray>
#include <QImage>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace pages_test;

namespace {

class ImagePage : public ::testing::Test {
protected:
    static void SetUpTestSuite() { initWebEngine(); }

    // Shows the file in a freshly filled image page; true once the page reported it.
    bool show(const QString& sourcePath, const QString& name = QString()) {
        folder.setWorkingCopy(sourcePath, name);
        const QString page =
            folder.fillPage(QStringLiteral("KDVAX_MONO.dll"), QStringLiteral("KDVAX_MONO.html"),
                            QStringLiteral("Tool"));
        return view.load(page) &&
               view.waitForAnyMessage({QStringLiteral("imageChanged"), QStringLiteral("NoImage")});
    }

    QString changed(const QString& key) const {
        return jsonField(view.lastContent(QStringLiteral("imageChanged")), key);
    }

    // Distinct colours on the cornerstone canvas: a blank or failed render has one.
    int canvasColours() {
        return view
            .run(QStringLiteral(
                "(function () { var c = document.querySelector('#image canvas');"
                " var d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;"
                " var seen = {}, n = 0; for (var i = 0; i < d.length && n < 10; i += 4) {"
                " var k = d[i] + ',' + d[i + 1] + ',' + d[i + 2]; if (!seen[k]) { seen[k] = 1; "
                "n++; } }"
                " return n; })()"))
            .toInt();
    }

    InstanceFolder folder;
    PageView view;
};

// Spacing as the page sends it: row and column joined by "//".
QString expectedSpacing(const QString& file) {
    QString spacing = dcmdumpValue(file, QStringLiteral("0028,0030"));
    return spacing.isEmpty() ? QString() : spacing.replace('\\', QStringLiteral("//"));
}

struct RealFile {
    const char* name;
    int frames;
};

class ImagePageRealFiles : public ImagePage, public ::testing::WithParamInterface<RealFile> {};

// Uncompressed, deflated, big-endian, RLE, JPEG, JPEG-LS, JPEG 2000, colour and
// multi-frame files: the page reports what dcmdump reads and draws the picture.
TEST_P(ImagePageRealFiles, ReportsWhatTheFileHoldsAndDrawsIt) {
    const QString file = pydicomFile(QString::fromLatin1(GetParam().name));
    ASSERT_TRUE(show(file)) << view.consoleErrors().join('\n').toStdString();
    ASSERT_EQ(view.messages(QStringLiteral("imageChanged")).size(), 1);
    EXPECT_TRUE(view.messages(QStringLiteral("imageError")).isEmpty())
        << view.lastContent(QStringLiteral("imageError")).toStdString() << "\n"
        << view.consoleErrors().join('\n').toStdString();

    EXPECT_EQ(changed("largeur"), dcmdumpValue(file, QStringLiteral("0028,0011")));
    EXPECT_EQ(changed("hauteur"), dcmdumpValue(file, QStringLiteral("0028,0010")));
    EXPECT_EQ(changed("modality"), dcmdumpValue(file, QStringLiteral("0008,0060")));
    EXPECT_EQ(changed("nom"), dcmdumpValue(file, QStringLiteral("0010,0010")));
    EXPECT_EQ(changed("naissance"), dcmdumpValue(file, QStringLiteral("0010,0030")));
    EXPECT_EQ(changed("dateExamen"), dcmdumpValue(file, QStringLiteral("0008,0020")));
    EXPECT_EQ(changed("pixelSpacing"), expectedSpacing(file));
    EXPECT_EQ(changed("fileName"), QString::fromLatin1(GetParam().name));
    EXPECT_EQ(changed("totalFrames"), QString::number(GetParam().frames));
    EXPECT_EQ(changed("multiFrame"), GetParam().frames > 1 ? "true" : "false");
    EXPECT_EQ(changed("frame"), "0");
    EXPECT_GT(canvasColours(), 2);
    EXPECT_TRUE(view.waitForMessage(QStringLiteral("zoomChanged")));
}

INSTANTIATE_TEST_SUITE_P(
    Pydicom, ImagePageRealFiles,
    ::testing::Values(RealFile{"CT_small.dcm", 1}, RealFile{"MR_small.dcm", 1},
                      RealFile{"MR_small_bigendian.dcm", 1}, RealFile{"image_dfl.dcm", 1},
                      RealFile{"MR_small_RLE.dcm", 1}, RealFile{"JPEG2000.dcm", 1},
                      RealFile{"MR_small_jpeg_ls_lossless.dcm", 1}, RealFile{"JPGExtended.dcm", 1},
                      RealFile{"SC_rgb_jpeg_dcmtk.dcm", 1}, RealFile{"SC_rgb_rle_2frame.dcm", 2}),
    [](const auto& info) {
        QString name = QString::fromLatin1(info.param.name).section('.', 0, 0);
        name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]")), QStringLiteral("_"));
        return name.toStdString();
    });

} // namespace
