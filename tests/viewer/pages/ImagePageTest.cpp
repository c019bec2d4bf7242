#include "PageHarness.h"
#include "tests/common/DicomFiles.h"
#include "tests/viewer/DecoderAnswer.h"

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QtEndian>

#include <gtest/gtest.h>

using namespace testing_support;

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

    // A click without movement at the centre of the image pixel (x, y).
    void clickPixel(int x, int y) {
        view.clearMessages();
        view.run(
            QStringLiteral(
                "(function () { var e = document.getElementById('image');"
                " var p = cornerstone.pixelToCanvas(e, { x: %1 + 0.5, y: %2 + 0.5 });"
                " var r = e.getBoundingClientRect();"
                " var at = { clientX: r.left + p.x, clientY: r.top + p.y, button: 0, buttons: 1,"
                " bubbles: true, view: window };"
                " e.querySelector('canvas').dispatchEvent(new MouseEvent('mousedown', at));"
                " document.dispatchEvent(new MouseEvent('mouseup', at)); })()")
                .arg(x)
                .arg(y));
    }

    // Answers the page's request to decode as the viewer does, with the given description.
    void answerWith(const QString& description) {
        const QByteArray literal =
            QJsonDocument(QJsonArray{description}).toJson(QJsonDocument::Compact);
        view.run(QStringLiteral("hostPixels(%1)")
                     .arg(QString::fromUtf8(literal.mid(1, literal.size() - 2))));
    }

    // ... with what the decoder program says of the working copy.
    void answerWithDecoder(const QString& workingCopy) {
        answerWith(testing_support::decoderAnswer(
            QStringLiteral(KEST_DECODER_PATH), folder.path(workingCopy),
            folder.path(QStringLiteral("KDVAX_PIXELS_0.bin")), 20000));
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

// Uncompressed, deflated, big-endian, RLE, colour and multi-frame files: the page reports what
// dcmdump reads and draws the picture.
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
    // The picture is drawn on the next animation frame, which the first zoom report follows.
    ASSERT_TRUE(view.waitForMessage(QStringLiteral("zoomChanged")));
    EXPECT_GT(canvasColours(), 2);
}

INSTANTIATE_TEST_SUITE_P(
    Pydicom, ImagePageRealFiles,
    ::testing::Values(RealFile{"CT_small.dcm", 1}, RealFile{"MR_small.dcm", 1},
                      RealFile{"MR_small_bigendian.dcm", 1}, RealFile{"image_dfl.dcm", 1},
                      RealFile{"MR_small_RLE.dcm", 1}, RealFile{"SC_rgb_rle.dcm", 1},
                      RealFile{"SC_rgb_rle_2frame.dcm", 2}),
    [](const auto& info) {
        QString name = QString::fromLatin1(info.param.name).section('.', 0, 0);
        name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]")), QStringLiteral("_"));
        return name.toStdString();
    });

// A 16 x 16 picture whose pixel (x, y) holds x + 16 y.
int rampValue(int x, int y) {
    return x + 16 * y;
}

bool writeRamp(const QString& path, const QByteArray& spacingTag = {},
               const QByteArray& spacing = {}) {
    DicomBuilder builder;
    builder.add(0x0008, 0x0060, "CS", "OT").add(0x0010, 0x0010, "PN", "Ramp^Test");
    if (spacingTag == "imager")
        builder.add(0x0018, 0x1164, "DS", spacing);
    if (spacingTag == "pixel")
        builder.add(0x0028, 0x0030, "DS", spacing);
    builder.addGreyImage(16, 16, rampValue);
    return builder.write(path);
}

TEST_F(ImagePage, EveryToolCommandIsEchoedAndUnknownOnesAreNot) {
    ASSERT_TRUE(show(pydicomFile(QStringLiteral("CT_small.dcm"))));
    view.clearMessages();
    const QStringList commands = {"Wwwc",      "Zoom",      "Pan",     "Length",    "Angle",
                                  "Cobb",      "Rectangle", "Ellipse", "Probe",     "Magnify",
                                  "Invert",    "Clear",     "Reinit",  "FrameNext", "FramePrev",
                                  "Precedent", "Suivant",   "Bogus"};
    for (const QString& command : commands)
        view.run(QStringLiteral("PressButton('%1')").arg(command));
    view.waitForMessage(QStringLiteral("buttonClicked"));
    view.pump(200);
    QStringList echoed;
    for (const PageMessage& message : view.messages(QStringLiteral("buttonClicked")))
        echoed << message.content;
    EXPECT_EQ(echoed, commands.mid(0, commands.size() - 1));
    EXPECT_EQ(view.run(QStringLiteral("document.querySelector('#sidebar .active')"
                                      ".getAttribute('data-command')"))
                  .toString(),
              QStringLiteral("Magnify"));
}

TEST_F(ImagePage, InvertAndReinitChangeTheViewport) {
    ASSERT_TRUE(show(pydicomFile(QStringLiteral("CT_small.dcm"))));
    const QString invert =
        QStringLiteral("cornerstone.getViewport(document.getElementById('image')).invert");
    view.run(QStringLiteral("PressButton('Invert')"));
    EXPECT_TRUE(view.run(invert).toBool());
    view.run(QStringLiteral("SetZoom('300'); PressButton('Reinit')"));
    EXPECT_FALSE(view.run(invert).toBool());
    EXPECT_NE(
        view.run(QStringLiteral("cornerstone.getViewport(document.getElementById('image')).scale"))
            .toDouble(),
        3.0);
}

TEST_F(ImagePage, ZoomSidebarAndDimensionsAnswerTheirMessages) {
    ASSERT_TRUE(show(pydicomFile(QStringLiteral("CT_small.dcm"))));
    view.clearMessages();

    view.run(QStringLiteral("SetZoom('250')"));
    ASSERT_TRUE(view.waitForMessage(QStringLiteral("zoomChanged")));
    EXPECT_EQ(view.lastContent(QStringLiteral("zoomChanged")), QStringLiteral("250"));
    EXPECT_DOUBLE_EQ(view.run(QStringLiteral("cornerstone.getViewport("
                                             "document.getElementById('image')).scale"))
                         .toDouble(),
                     2.5);

    const QString sidebarShown =
        QStringLiteral("getComputedStyle(document.getElementById('sidebar')).display != 'none'");
    view.run(QStringLiteral("hideSidebar()"));
    EXPECT_FALSE(view.run(sidebarShown).toBool());
    view.run(QStringLiteral("showSidebar()"));
    EXPECT_TRUE(view.run(sidebarShown).toBool());

    view.run(QStringLiteral("getCurrentImageDimensions()"));
    ASSERT_TRUE(view.waitForMessage(QStringLiteral("imageDimensions")));
    EXPECT_EQ(view.lastContent(QStringLiteral("imageDimensions")),
              QStringLiteral(R"({"largeur":"128","hauteur":"128"})"));
}

TEST_F(ImagePage, SavedPicturesComeBackAsBase64WithTheFileNameEscaped) {
    ASSERT_TRUE(show(pydicomFile(QStringLiteral("CT_small.dcm"))));
    // The canvas holds the image once it has been drawn, which the page tells with its zoom.
    ASSERT_TRUE(view.waitForMessage(QStringLiteral("zoomChanged")));
    view.clearMessages();
    view.run(QStringLiteral(R"(saveCurrentImage('C:\\Images\\scan.png'))"));
    view.run(QStringLiteral("saveCurrentImageJpeg('ClipBoard.jpg', 1)"));
    ASSERT_TRUE(view.waitForMessage(QStringLiteral("saveImage")));
    view.pump(100);
    view.waitForMessage(QStringLiteral("saveImage"));
    const QList<PageMessage> saved = view.messages(QStringLiteral("saveImage"));
    ASSERT_EQ(saved.size(), 2);

    EXPECT_TRUE(saved[0].content.contains(QStringLiteral(R"("fileName":"C:\\Images\\scan.png")")));
    const QByteArray png = QByteArray::fromBase64(jsonField(saved[0].content, "base64").toLatin1(),
                                                  QByteArray::AbortOnBase64DecodingErrors);
    const QImage picture = QImage::fromData(png, "PNG");
    ASSERT_FALSE(picture.isNull());
    EXPECT_NE(picture.pixel(picture.width() / 2, picture.height() / 2), picture.pixel(0, 0));

    EXPECT_EQ(jsonField(saved[1].content, "fileName"), QStringLiteral("ClipBoard.jpg"));
    const QByteArray jpeg =
        QByteArray::fromBase64(jsonField(saved[1].content, "base64").toLatin1());
    EXPECT_TRUE(jpeg.startsWith("\xFF\xD8"));
    EXPECT_FALSE(QImage::fromData(jpeg, "JPG").isNull());
}

TEST_F(ImagePage, ClickReportsTheImagePixelAndItsStoredValue) {
    ASSERT_TRUE(writeRamp(folder.path(QStringLiteral("source.dcm"))));
    ASSERT_TRUE(show(folder.path(QStringLiteral("source.dcm")), QStringLiteral("ramp.dcm")));
    clickPixel(5, 9);
    ASSERT_TRUE(view.waitForMessage(QStringLiteral("imageClicked")));
    EXPECT_EQ(view.lastContent(QStringLiteral("imageClicked")),
              QStringLiteral(R"({"pixelX":"5","pixelY":"9","pixelValue":"149"})"));
}

TEST_F(ImagePage, PanningReportsTheNewOffset) {
    ASSERT_TRUE(show(pydicomFile(QStringLiteral("CT_small.dcm"))));
    view.pump(200);
    view.clearMessages();
    view.run(QStringLiteral("(function () { var e = document.getElementById('image');"
                            " var v = cornerstone.getViewport(e); v.translation.x += 10;"
                            " cornerstone.setViewport(e, v); })()"));
    ASSERT_TRUE(view.waitForMessage(QStringLiteral("offsetChanged")));
    const QString offset = view.lastContent(QStringLiteral("offsetChanged"));
    const QVariantMap origin =
        view.run(QStringLiteral("(function () { var e = document.getElementById('image');"
                                " var p = cornerstone.pixelToCanvas(e, { x: 0, y: 0 });"
                                " var r = e.getBoundingClientRect(); return { x: r.left + p.x, y: "
                                "r.top + p.y }; })()"))
            .toMap();
    EXPECT_EQ(jsonField(offset, "originX").toInt(), qRound(origin.value("x").toDouble()));
    EXPECT_EQ(jsonField(offset, "originY").toInt(), qRound(origin.value("y").toDouble()));
    EXPECT_EQ(jsonField(offset, "dpr"), QStringLiteral("1"));
    // The viewport centre now shows the image 10 pixels left of its centre.
    EXPECT_EQ(jsonField(offset, "imageX"), QStringLiteral("54"));
    EXPECT_EQ(jsonField(offset, "imageY"), QStringLiteral("64"));
    for (const char* key : {"screenX", "screenY", "viewportLeft", "viewportTop"})
        EXPECT_FALSE(jsonField(offset, key).isEmpty()) << key;
}

TEST_F(ImagePage, MeasurementsUseImagerPixelSpacingWhenThereIsNoPixelSpacing) {
    ASSERT_TRUE(writeRamp(folder.path(QStringLiteral("source.dcm")), "imager", "0.5\\0.25"));
    ASSERT_TRUE(show(folder.path(QStringLiteral("source.dcm")), QStringLiteral("ramp.dcm")));
    // No pixel spacing is reported to the control; the measurements still use the calibration.
    EXPECT_EQ(changed("pixelSpacing"), QString());
    view.run(QStringLiteral(
        "(function () { var e = document.getElementById('image');"
        " cornerstoneTools.addToolState(e, 'Length', { visible: true, active: false, invalidated: "
        "true,"
        " handles: { start: { x: 0, y: 0 }, end: { x: 8, y: 0 }, textBox: { active: false,"
        " hasMoved: false, movesIndependently: false, drawnIndependently: true,"
        " allowedOutsideImage: true, hasBoundingBox: true } } });"
        " cornerstone.updateImage(e, true); })()"));
    view.pump(300);
    const double length = view.run(QStringLiteral("cornerstoneTools.getToolState("
                                                  "document.getElementById('image'), 'Length')"
                                                  ".data[0].length"))
                              .toDouble();
    EXPECT_DOUBLE_EQ(length, 8 * 0.25);
    EXPECT_TRUE(view.bodyText().contains(QStringLiteral("calibration: imager pixel spacing")));
}

TEST_F(ImagePage, UncalibratedFilesSayTheirMeasurementsAreInPixels) {
    ASSERT_TRUE(writeRamp(folder.path(QStringLiteral("source.dcm"))));
    ASSERT_TRUE(show(folder.path(QStringLiteral("source.dcm")), QStringLiteral("ramp.dcm")));
    EXPECT_EQ(changed("pixelSpacing"), QString());
    EXPECT_TRUE(view.bodyText().contains(QStringLiteral("uncalibrated: pixels")));
}

TEST_F(ImagePage, FrameStepsMoveThroughAMultiFrameFile) {
    ASSERT_TRUE(show(pydicomFile(QStringLiteral("SC_rgb_rle_2frame.dcm"))));
    const QString overlay = QStringLiteral("document.getElementById('overlay').textContent");
    EXPECT_TRUE(view.run(overlay).toString().contains(QStringLiteral("Frame: 1 / 2")));
    view.run(QStringLiteral("PressButton('FrameNext')"));
    view.pump(300);
    EXPECT_TRUE(view.run(overlay).toString().contains(QStringLiteral("Frame: 2 / 2")));
    view.run(QStringLiteral("PressButton('FrameNext')"));
    view.pump(300);
    EXPECT_TRUE(view.run(overlay).toString().contains(QStringLiteral("Frame: 2 / 2")));
    view.run(QStringLiteral("PressButton('FramePrev')"));
    view.pump(300);
    EXPECT_TRUE(view.run(overlay).toString().contains(QStringLiteral("Frame: 1 / 2")));
}

struct UnshownFile {
    const char* name;
    const char* reason;
};

class ImagePageUnshownFiles : public ImagePage,
                              public ::testing::WithParamInterface<UnshownFile> {};

// Files the page cannot show: it says so in the page and still reports, with no size.
TEST_P(ImagePageUnshownFiles, AreReportedWithoutAnImage) {
    const QString name = QString::fromLatin1(GetParam().name);
    QString source = pydicomFile(name);
    if (name == QStringLiteral("not_dicom.dcm")) {
        source = folder.path(QStringLiteral("source.txt"));
        QFile text(source);
        ASSERT_TRUE(text.open(QIODevice::WriteOnly));
        text.write(QByteArray("This is a text file, not an image.\n").repeated(20));
    }
    folder.setWorkingCopy(source, name);
    ASSERT_TRUE(
        view.load(folder.fillPage(QStringLiteral("KDVAX_MONO.dll"),
                                  QStringLiteral("KDVAX_MONO.html"), QStringLiteral("Tool"))));
    // The page cannot read the file and asks the host, whose decoder cannot either.
    ASSERT_TRUE(view.waitForMessage(QStringLiteral("decodePixels")));
    answerWithDecoder(name);
    ASSERT_TRUE(view.waitForMessage(QStringLiteral("imageChanged")));
    EXPECT_TRUE(view.messages(QStringLiteral("NoImage")).isEmpty());
    EXPECT_EQ(changed("largeur"), QStringLiteral("0"));
    EXPECT_EQ(changed("hauteur"), QStringLiteral("0"));
    EXPECT_EQ(changed("fileName"), name);
    EXPECT_TRUE(view.lastContent(QStringLiteral("imageError"))
                    .contains(QString::fromLatin1(GetParam().reason)))
        << view.lastContent(QStringLiteral("imageError")).toStdString();
    EXPECT_TRUE(view.bodyText().contains(QStringLiteral("This file cannot be displayed")));
    view.run(QStringLiteral("getCurrentImageDimensions(); saveCurrentImage('a.png')"));
    ASSERT_TRUE(view.waitForMessage(QStringLiteral("saveImageError")));
    EXPECT_EQ(view.lastContent(QStringLiteral("imageDimensionsError")),
              QStringLiteral("No image is displayed"));
}

INSTANTIATE_TEST_SUITE_P(
    Files, ImagePageUnshownFiles,
    ::testing::Values(UnshownFile{"not_dicom.dcm", "not a readable DICOM file"},
                      UnshownFile{"MR_truncated.dcm", "not a readable DICOM file (dicomParser"}),
    [](const auto& info) {
        return QString::fromLatin1(info.param.name).section('.', 0, 0).toStdString();
    });

// The loader's decoder never settles for this JPEG file (an error escapes its
// promise chain): the page still ends the load after its time-out.
struct HostFile {
    const char* name;
    const char* reason;
    int frames;
};

class ImagePageHostFiles : public ImagePage, public ::testing::WithParamInterface<HostFile> {
protected:
    bool requestDecoding() {
        folder.setWorkingCopy(pydicomFile(QString::fromLatin1(GetParam().name)));
        return view.load(folder.fillPage(QStringLiteral("KDVAX_MONO.dll"),
                                         QStringLiteral("KDVAX_MONO.html"),
                                         QStringLiteral("Tool"))) &&
               view.waitForMessage(QStringLiteral("decodePixels"));
    }
};

// Pixel data the loader refuses, shows wrongly or never finishes decoding are
// asked of the host; the frames the host decoder writes are shown.
TEST_P(ImagePageHostFiles, AreDecodedByTheHostAndShown) {
    ASSERT_TRUE(requestDecoding());
    EXPECT_EQ(view.lastContent(QStringLiteral("decodePixels")),
              QString::fromLatin1(GetParam().reason));
    const QString name = QString::fromLatin1(GetParam().name);
    answerWithDecoder(name);
    ASSERT_TRUE(view.waitForMessage(QStringLiteral("imageChanged")));
    EXPECT_TRUE(view.messages(QStringLiteral("imageError")).isEmpty())
        << view.lastContent(QStringLiteral("imageError")).toStdString();
    const QString file = pydicomFile(name);
    EXPECT_EQ(changed("largeur"), dcmdumpValue(file, QStringLiteral("0028,0011")));
    EXPECT_EQ(changed("hauteur"), dcmdumpValue(file, QStringLiteral("0028,0010")));
    EXPECT_EQ(changed("totalFrames"), QString::number(GetParam().frames));
    ASSERT_TRUE(view.waitForMessage(QStringLiteral("zoomChanged")));
    EXPECT_GT(canvasColours(), 2);
    if (GetParam().frames > 1) {
        view.run(QStringLiteral("PressButton('FrameNext')"));
        ASSERT_TRUE(view.waitForMessage(QStringLiteral("buttonClicked")));
        EXPECT_EQ(view.run(QStringLiteral(
                               "cornerstone.getImage(document.getElementById('image')).imageId"))
                      .toString(),
                  QStringLiteral("kesthost:L1:1"));
    }
}

// A host that cannot decode the file ends the load with its reason.
TEST_P(ImagePageHostFiles, AFailedHostDecodingEndsTheLoadWithItsReason) {
    ASSERT_TRUE(requestDecoding());
    answerWith(QStringLiteral("{\"error\":\"the decoder stopped on this file\"}"));
    ASSERT_TRUE(view.waitForMessage(QStringLiteral("imageChanged")));
    EXPECT_EQ(changed("largeur"), QStringLiteral("0"));
    const QString error = view.lastContent(QStringLiteral("imageError"));
    EXPECT_TRUE(error.contains(QString::fromLatin1(GetParam().reason)) &&
                error.contains(QStringLiteral("the decoder stopped on this file")))
        << error.toStdString();
    // A late or second answer changes nothing.
    answerWith(QStringLiteral("{\"type\":\"uint8\",\"rows\":1}"));
    view.pump(300);
    EXPECT_EQ(view.messages(QStringLiteral("imageChanged")).size(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Pydicom, ImagePageHostFiles,
    ::testing::Values(HostFile{"rtdose.dcm", "32-bit pixel data", 15},
                      HostFile{"SC_rgb_rle_16bit.dcm", "colour deeper than 8 bits", 1},
                      HostFile{"SC_jpeg_no_color_transform.dcm", "compressed colour", 1},
                      HostFile{"GDCMJ2K_TextGBR.dcm", "compressed colour", 1},
                      HostFile{"JPGExtended.dcm", "extended JPEG", 1},
                      HostFile{"JPEG2000.dcm", "JPEG 2000", 1},
                      HostFile{"MR_small_jpeg_ls_lossless.dcm", "JPEG-LS", 1}),
    [](const auto& info) {
        QString name = QString::fromLatin1(info.param.name).section('.', 0, 0);
        name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]")), QStringLiteral("_"));
        return name.toStdString();
    });

// Floating-point samples with a rescale: shown through the host, the values
// read back are the stored ones, and the rescale applies to them.
TEST_F(ImagePage, FloatPixelDataIsShownWithItsStoredValues) {
    const QByteArray bytes = DicomBuilder::floatSamples({-1.5f, 0.0f, 2.25f, 1000.0f});
    const QString source = folder.path(QStringLiteral("source.dcm"));
    // Elements in tag order: the rescale comes between the image's attributes and its samples.
    ASSERT_TRUE(DicomBuilder()
                    .add(0x0008, 0x0060, "CS", "OT")
                    .addUs(0x0028, 0x0002, 1)
                    .add(0x0028, 0x0004, "CS", "MONOCHROME2")
                    .addUs(0x0028, 0x0010, 2)
                    .addUs(0x0028, 0x0011, 2)
                    .addUs(0x0028, 0x0100, 32)
                    .add(0x0028, 0x1052, "DS", "-10")
                    .add(0x0028, 0x1053, "DS", "2")
                    .add(0x7fe0, 0x0008, "OF", bytes)
                    .write(source));
    folder.setWorkingCopy(source, QStringLiteral("float.dcm"));
    ASSERT_TRUE(
        view.load(folder.fillPage(QStringLiteral("KDVAX_MONO.dll"),
                                  QStringLiteral("KDVAX_MONO.html"), QStringLiteral("Tool"))));
    ASSERT_TRUE(view.waitForMessage(QStringLiteral("decodePixels")));
    EXPECT_EQ(view.lastContent(QStringLiteral("decodePixels")),
              QStringLiteral("floating-point pixel data"));
    answerWithDecoder(QStringLiteral("float.dcm"));
    ASSERT_TRUE(view.waitForMessage(QStringLiteral("imageChanged")));
    EXPECT_EQ(changed("largeur"), QStringLiteral("2"));
    view.clearMessages();
    view.run(QStringLiteral("saveCurrentValues('values.bin')"));
    ASSERT_TRUE(view.waitForMessage(QStringLiteral("saveImage")));
    const QByteArray saved = QByteArray::fromBase64(
        jsonField(view.lastContent(QStringLiteral("saveImage")), QStringLiteral("base64"))
            .toLatin1());
    const qsizetype headerEnd = saved.indexOf('\n');
    const QJsonObject header = QJsonDocument::fromJson(saved.left(headerEnd)).object();
    EXPECT_EQ(header.value("type").toString(), QStringLiteral("float32"));
    EXPECT_EQ(header.value("rows").toInt(), 2);
    EXPECT_EQ(header.value("modality").toObject().value("slope").toDouble(), 2.0);
    EXPECT_EQ(header.value("modality").toObject().value("intercept").toDouble(), -10.0);
    EXPECT_EQ(saved.mid(headerEnd + 1), bytes);
    // A click reports the stored value, not the 16-bit value it is shown with.
    clickPixel(0, 1);
    ASSERT_TRUE(view.waitForMessage(QStringLiteral("imageClicked")));
    EXPECT_EQ(
        jsonField(view.lastContent(QStringLiteral("imageClicked")), QStringLiteral("pixelValue")),
        QStringLiteral("2.25"));
    // The display values are 16-bit, their rescale gives back the modality values.
    EXPECT_NEAR(view.run(QStringLiteral("(function () { var i = cornerstone.getImage(document."
                                        "getElementById('image')); return i.getPixelData()[3] * "
                                        "i.slope + i.intercept; })()"))
                    .toDouble(),
                1000.0 * 2 - 10, 0.1);
}

// The host's frames come in parts, as the viewer asks for them: the frame
// shown first alone, then the others. A step to a frame of the later part
// shows that frame once its part has arrived.
TEST_F(ImagePage, HostFramesArriveInParts) {
    const QString name = QStringLiteral("rtdose.dcm");
    folder.setWorkingCopy(pydicomFile(name));
    ASSERT_TRUE(
        view.load(folder.fillPage(QStringLiteral("KDVAX_MONO.dll"),
                                  QStringLiteral("KDVAX_MONO.html"), QStringLiteral("Tool"))) &&
        view.waitForMessage(QStringLiteral("decodePixels")));
    decoderprocess::Decoder decoder(QStringLiteral(KEST_DECODER_PATH), 20000);
    const auto part = [&](int first, int count) {
        const QString out = folder.path(QStringLiteral("KDVAX_PIXELS_%1.bin").arg(first));
        return decoderAnswer(decoder, {folder.path(name), out, first, count}, 20000);
    };
    answerWith(part(0, 1));
    ASSERT_TRUE(view.waitForMessage(QStringLiteral("imageChanged")));
    EXPECT_EQ(changed("totalFrames"), QStringLiteral("15"));
    const QString shown =
        QStringLiteral("cornerstone.getImage(document.getElementById('image')).imageId");
    view.run(QStringLiteral("PressButton('FrameNext')"));
    ASSERT_TRUE(view.waitForMessage(QStringLiteral("buttonClicked")));
    view.pump(200);
    EXPECT_EQ(view.run(shown).toString(), QStringLiteral("kesthost:L1:0"));

    answerWith(part(1, 14));
    ASSERT_TRUE(pump::waitUntil(
        [&] { return view.run(shown).toString() == QLatin1String("kesthost:L1:1"); },
        std::chrono::seconds(10)));
    // The values shown are the second frame's: the first of the later part.
    QFile written(folder.path(QStringLiteral("KDVAX_PIXELS_1.bin")));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray frame = written.read(10 * 10 * 4);
    double expected = 0;
    for (qsizetype at = 0; at + 4 <= frame.size(); at += 4)
        expected += qFromLittleEndian<quint32>(frame.constData() + at);
    EXPECT_GT(expected, 0);
    EXPECT_EQ(
        view.run(QStringLiteral("(function () { var s = cornerstone.getImage("
                                "document.getElementById('image')).storedValues;"
                                " var t = 0; for (var i = 0; i < s.length; i++) { t += s[i]; }"
                                " return t; })()"))
            .toDouble(),
        expected);
}

// The host never answers the page's request to decode (here there is no host):
// the page still ends the load after its time-out.
TEST_F(ImagePage, ADecoderThatNeverAnswersStillEndsTheLoad) {
    folder.setWorkingCopy(pydicomFile(QStringLiteral("SC_jpeg_no_color_transform.dcm")));
    ASSERT_TRUE(
        view.load(folder.fillPage(QStringLiteral("KDVAX_MONO.dll"),
                                  QStringLiteral("KDVAX_MONO.html"), QStringLiteral("Tool"))));
    ASSERT_TRUE(view.waitForMessage(QStringLiteral("imageChanged"), 40000));
    EXPECT_EQ(changed("largeur"), QStringLiteral("0"));
    EXPECT_TRUE(view.lastContent(QStringLiteral("imageError")).contains("not decoded within"))
        << view.lastContent(QStringLiteral("imageError")).toStdString();
    // Only one answer: the time-out does not report twice.
    view.pump(500);
    EXPECT_EQ(view.messages(QStringLiteral("imageChanged")).size(), 1);
}

TEST_F(ImagePage, DocumentsWithoutPixelDataReportNoImage) {
    const QString pdf = folder.path(QStringLiteral("pdf.dcm"));
    ASSERT_TRUE(writeEncapsulatedPdf(pdf));
    for (const QString& source : {pydicomFile(QStringLiteral("test-SR.dcm")), pdf}) {
        ASSERT_TRUE(show(source, QStringLiteral("document.dcm"))) << source.toStdString();
        EXPECT_EQ(view.messages(QStringLiteral("NoImage")).size(), 1);
        EXPECT_TRUE(view.messages(QStringLiteral("imageChanged")).isEmpty());
    }
}
} // namespace
