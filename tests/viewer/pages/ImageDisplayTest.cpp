// What the image page shows as the file defines it: its presentation LUT,
// overlay planes, display shutters, ultrasound regions' calibration and the
// overlay's decimal values. The files are made by display_files.py; what is
// drawn is read back from the page's canvases at image pixels.

#include "PageHarness.h"

#include "platform/MessagePump.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

struct Rgb {
    int r = -1, g = -1, b = -1;
    bool grey(int level, int tolerance = 3) const {
        return std::abs(r - level) <= tolerance && std::abs(g - level) <= tolerance &&
               std::abs(b - level) <= tolerance;
    }
    bool operator==(const Rgb&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Rgb& c) {
    return out << "rgb(" << c.r << ", " << c.g << ", " << c.b << ")";
}

// The overlay planes' colour (KestOverlayPlanes.COLOUR).
const Rgb PlaneColour{255, 64, 255};

// The files, written once for every test.
class DisplayFiles {
public:
    DisplayFiles() {
        m_ok = QProcess::execute(QStringLiteral(KEST_SYSTEM_PYTHON),
                                 {QStringLiteral(KEST_DISPLAY_FILES), m_dir.path()}) == 0;
    }
    bool ok() const { return m_ok; }
    QString path(const QString& name) const { return m_dir.filePath(name + ".dcm"); }

private:
    QTemporaryDir m_dir;
    bool m_ok = false;
};

const DisplayFiles& files() {
    static const DisplayFiles written;
    return written;
}

class ImageDisplay : public ::testing::Test {
protected:
    static void SetUpTestSuite() { initWebEngine(); }

    void SetUp() override {
        ASSERT_TRUE(files().ok()) << "python3 with pydicom and dcmtk are needed";
    }

    bool show(const QString& name) {
        folder.setWorkingCopy(files().path(name), QStringLiteral("image.dcm"));
        return view.load(folder.fillPage(QStringLiteral("KDVAX_MONO.dll"),
                                         QStringLiteral("KDVAX_MONO.html"), QStringLiteral("Tool"),
                                         QStringLiteral("en"))) &&
               view.waitForMessage(QStringLiteral("imageChanged")) && drawn();
    }

    // True once the frame shown is the one drawn, within a deadline.
    bool drawn(int frame = 0) {
        const QString script =
            QStringLiteral(
                "(function () { var e = "
                "cornerstone.getEnabledElement(document.getElementById('image'));"
                " var s = KestImagePage.state; return !!(s.image && e.image === s.image &&"
                " s.image.frameIndex === %1 && !e.needsRedraw && e.renderingTools &&"
                " e.renderingTools.lastRenderedImageId === s.image.imageId); })()")
                .arg(frame);
        return pump::waitUntil([&] { return view.run(script).toBool(); }, std::chrono::seconds(20));
    }

    // What is shown at an image pixel: the overlay planes' canvas where it is
    // shown and drawn, else the image's canvas.
    Rgb at(double x, double y) {
        const QString json =
            view.run(
                    QStringLiteral(
                        "(function () { var e = document.getElementById('image');"
                        " var p = cornerstone.pixelToCanvas(e, { x: %1 + 0.5, y: %2 + 0.5 });"
                        " var read = function (c) { return Array.from(c.getContext('2d')"
                        ".getImageData(Math.floor(p.x), Math.floor(p.y), 1, 1).data); };"
                        " var planes = document.querySelector('#overlay canvas.planes');"
                        " var plane = planes.getClientRects().length ? read(planes) : [0, 0, 0, 0];"
                        " return JSON.stringify(plane[3] > 0 ? plane : "
                        "read(e.querySelector('canvas'))); })()")
                        .arg(x)
                        .arg(y))
                .toString();
        const QJsonArray c = QJsonDocument::fromJson(json.toUtf8()).array();
        return {c.at(0).toInt(-1), c.at(1).toInt(-1), c.at(2).toInt(-1)};
    }

    void changeViewport(const QString& change) {
        view.run(QStringLiteral("(function () { var e = document.getElementById('image');"
                                " var v = cornerstone.getViewport(e); %1;"
                                " cornerstone.setViewport(e, v); })()")
                     .arg(change));
        ASSERT_TRUE(drawn(view.run("KestImagePage.state.frame").toInt()));
    }

    void press(const QString& command, int frame = 0) {
        view.run(QStringLiteral("PressButton('%1')").arg(command));
        ASSERT_TRUE(drawn(frame));
    }

    QString text(const QString& script) { return view.run(script).toString(); }

    // A measurement of that tool drawn by script through its handles; its
    // value and unit once drawn (a length, an angle or an area).
    QJsonObject measure(const QString& tool, const QString& handles) {
        view.run(QStringLiteral("(function () { var e = document.getElementById('image');"
                                " cornerstoneTools.clearToolState(e, '%1');"
                                " cornerstoneTools.addToolState(e, '%1', { visible: true,"
                                " active: false, invalidated: true, handles: Object.assign(%2,"
                                " { textBox: { active: false, hasMoved: false, movesIndependently:"
                                " false, drawnIndependently: true, allowedOutsideImage: true,"
                                " hasBoundingBox: true } }) });"
                                " cornerstone.updateImage(e); })()")
                     .arg(tool, handles));
        const QString read =
            QStringLiteral(
                "(function () { var d = cornerstoneTools.getToolState("
                "document.getElementById('image'), '%1').data[0];"
                " var value = [d.length, d.rAngle, (d.cachedStats || {}).area]"
                ".filter(function (v) { return v !== undefined; })[0];"
                " return d.invalidated || value === undefined ? '' : JSON.stringify({ value: value,"
                " unit: d.unit, label: KestOverlay.calibrationText(KestRegions.calibrationOf(d, "
                "'')) });"
                " })()")
                .arg(tool);
        QString json;
        pump::waitUntil([&] { return !(json = text(read)).isEmpty(); }, std::chrono::seconds(20));
        return QJsonDocument::fromJson(json.toUtf8()).object();
    }

    InstanceFolder folder;
    PageView view;
};

// INVERSE shows the lowest value white, through a window dragged too; the
// invert tool turns what is shown, and a table maps the VOI's output.
TEST_F(ImageDisplay, PresentationLutComesAfterTheWindow) {
    ASSERT_TRUE(show(QStringLiteral("presentation_inverse")));
    EXPECT_GT(at(2, 10).r, 240) << at(2, 10);
    EXPECT_LT(at(61, 10).r, 15) << at(61, 10);
    changeViewport(QStringLiteral("v.voi.windowCenter = 2048; v.voi.windowWidth = 100"));
    EXPECT_TRUE(at(20, 10).grey(255)) << at(20, 10);
    EXPECT_TRUE(at(45, 10).grey(0)) << at(45, 10);
    press(QStringLiteral("Invert"));
    EXPECT_TRUE(at(20, 10).grey(0)) << at(20, 10);
    EXPECT_TRUE(at(45, 10).grey(255)) << at(45, 10);

    // The table: 0 up to the VOI's middle output, its top above.
    ASSERT_TRUE(show(QStringLiteral("presentation_table")));
    EXPECT_TRUE(at(24, 10).grey(0)) << at(24, 10);
    EXPECT_TRUE(at(40, 10).grey(255)) << at(40, 10);

    // IDENTITY on MONOCHROME1: the lowest value black.
    ASSERT_TRUE(show(QStringLiteral("presentation_identity_mono1")));
    EXPECT_LT(at(2, 10).r, 15) << at(2, 10);
    EXPECT_GT(at(61, 10).r, 240) << at(61, 10);
}

// Planes from Overlay Data follow the frame shown, the zoom and a flip; the
// broken ones draw nothing; they hide with the text overlay.
TEST_F(ImageDisplay, OverlayPlanesAreDrawnAboveTheFrameShown) {
    ASSERT_TRUE(show(QStringLiteral("overlay_planes")));
    const Rgb background = at(50, 4);
    EXPECT_TRUE(background.grey(128, 4)) << background;
    EXPECT_EQ(at(10, 10), PlaneColour);
    EXPECT_EQ(at(36, 36), PlaneColour);
    EXPECT_EQ(at(44, 44), background);
    press(QStringLiteral("FrameNext"), 1);
    EXPECT_EQ(at(10, 10), PlaneColour);
    EXPECT_EQ(at(36, 36), background);
    EXPECT_EQ(at(44, 44), PlaneColour);

    changeViewport(QStringLiteral("v.scale *= 2; v.hflip = true; v.rotation = 90"));
    EXPECT_EQ(at(44, 44), PlaneColour);
    EXPECT_EQ(at(36, 36), background);

    view.run(QStringLiteral("document.getElementById('overlayToggle').click()"));
    EXPECT_EQ(view.run(QStringLiteral("document.querySelector('#overlay canvas.planes')"
                                      ".getClientRects().length"))
                  .toInt(),
              0);
    // The image's own canvas (what SaveImage writes) holds no plane.
    EXPECT_EQ(text(QStringLiteral("(function () { var e = document.getElementById('image');"
                                  " var p = cornerstone.pixelToCanvas(e, { x: 44.5, y: 44.5 });"
                                  " return e.querySelector('canvas').getContext('2d').getImageData("
                                  "Math.floor(p.x), Math.floor(p.y), 1, 1).data.join(','); })()")),
              QStringLiteral("%1,%2,%3,255").arg(background.r).arg(background.g).arg(background.b));
}

// Planes in the pixel data's high bits, as stored and transcoded: drawn
// where the bit is set, and the bit is no value of the image.
TEST_F(ImageDisplay, OverlayPlanesInHighBitsAreReadAndCleared) {
    for (const char* name :
         {"overlay_high_bits", "overlay_high_bits_rle", "overlay_high_bits_jpll"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(show(QString::fromLatin1(name)));
        EXPECT_EQ(at(25, 25), PlaneColour);
        EXPECT_TRUE(at(5, 5).grey(128, 4)) << at(5, 5);
        EXPECT_EQ(view.run(QStringLiteral("KestImagePage.state.image.maxPixelValue")).toInt(),
                  1000);
        view.run(QStringLiteral("KestOverlay.toggle()"));
        EXPECT_TRUE(at(25, 25).grey(128, 4)) << at(25, 25);
    }
}

// The combined openings leave their common part; outside, the shutter's
// grey, its CIELab colour or a bitmap's; hostile shutters hide nothing.
TEST_F(ImageDisplay, ShuttersHideWhatLiesOutsideTheirOpening) {
    for (const char* name : {"shutter_combined", "shutter_combined_rle", "shutter_combined_jpll"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(show(QString::fromLatin1(name)));
        EXPECT_GT(at(32, 32).r, 240) << at(32, 32);
        EXPECT_GT(at(20, 32).r, 240) << at(20, 32);
        EXPECT_TRUE(at(4, 32).grey(128)) << "inside the circle, outside the rectangle";
        EXPECT_TRUE(at(10, 10).grey(128)) << "inside the rectangle, outside the circle";
        changeViewport(QStringLiteral("v.rotation = 180"));
        EXPECT_TRUE(at(10, 10).grey(128)) << at(10, 10);
        EXPECT_GT(at(32, 32).r, 240) << at(32, 32);
    }
    ASSERT_TRUE(show(QStringLiteral("shutter_polygon")));
    EXPECT_GT(at(10, 10).r, 240) << at(10, 10);
    const Rgb red = at(50, 50);
    EXPECT_GT(red.r, 230) << red;
    EXPECT_LT(std::max(red.g, red.b), 30) << red;

    ASSERT_TRUE(show(QStringLiteral("shutter_bitmap")));
    EXPECT_TRUE(at(10, 32).grey(0)) << at(10, 32);
    EXPECT_GT(at(50, 32).r, 240) << at(50, 32);

    ASSERT_TRUE(show(QStringLiteral("shutter_hostile")));
    EXPECT_GT(at(10, 10).r, 240) << at(10, 10);
    EXPECT_GT(at(60, 60).r, 240) << at(60, 60);
}

// Inside one region: its deltas in mm; across regions: pixels.
TEST_F(ImageDisplay, UltrasoundRegionsCalibrateTheMeasurementsInsideThem) {
    ASSERT_TRUE(show(QStringLiteral("ultrasound_two_regions")));
    EXPECT_EQ(
        jsonField(view.lastContent(QStringLiteral("imageChanged")), QStringLiteral("pixelSpacing")),
        QString());
    QJsonObject length =
        measure(QStringLiteral("Length"),
                QStringLiteral("{ start: { x: 10, y: 10 }, end: { x: 40, y: 50 } }"));
    EXPECT_NEAR(length.value("value").toDouble(), std::hypot(3.0, 8.0), 1e-6);
    EXPECT_EQ(length.value("unit").toString(), QStringLiteral("mm"));
    EXPECT_EQ(length.value("label").toString(), QStringLiteral("calibration: ultrasound region"));
    length = measure(QStringLiteral("Length"),
                     QStringLiteral("{ start: { x: 60, y: 10 }, end: { x: 80, y: 10 } }"));
    EXPECT_NEAR(length.value("value").toDouble(), 10.0, 1e-6);
    length = measure(QStringLiteral("Length"),
                     QStringLiteral("{ start: { x: 10, y: 10 }, end: { x: 90, y: 10 } }"));
    EXPECT_NEAR(length.value("value").toDouble(), 80.0, 1e-6);
    EXPECT_EQ(length.value("unit").toString(), QStringLiteral("pixels"));
    EXPECT_EQ(length.value("label").toString(), QStringLiteral("uncalibrated: pixels"));
    const QJsonObject area =
        measure(QStringLiteral("RectangleRoi"),
                QStringLiteral("{ start: { x: 10, y: 10 }, end: { x: 20, y: 30 } }"));
    EXPECT_NEAR(area.value("value").toDouble(), 1.0 * 4.0, 1e-6);
    // An angle between sides of 3 by 8 mm and 3 by 0 mm (53.13 degrees in pixels).
    const QJsonObject angle = measure(
        QStringLiteral("Angle"),
        QStringLiteral(
            "{ start: { x: 40, y: 50 }, middle: { x: 10, y: 10 }, end: { x: 40, y: 10 } }"));
    EXPECT_NEAR(angle.value("value").toDouble(), 69.44, 0.01);

    ASSERT_TRUE(show(QStringLiteral("ultrasound_one_region")));
    EXPECT_EQ(
        jsonField(view.lastContent(QStringLiteral("imageChanged")), QStringLiteral("pixelSpacing")),
        QStringLiteral("0.2//0.1"));
    EXPECT_TRUE(text(QStringLiteral("document.querySelector('#overlay .scale').textContent"))
                    .endsWith(QStringLiteral("calibration: ultrasound region")));
}

// Decimal strings with at most two decimals; the calibration's kind named.
TEST_F(ImageDisplay, OverlayShowsDecimalsAndTheCalibrationsKind) {
    ASSERT_TRUE(show(QStringLiteral("text_values")));
    const QString lines =
        text(QStringLiteral("document.querySelector('#overlay .bl').textContent"));
    EXPECT_TRUE(lines.contains(QStringLiteral("Thickness: 5 mm\n"))) << lines.toStdString();
    EXPECT_TRUE(lines.contains(QStringLiteral("Location: -77.2 mm"))) << lines.toStdString();
    EXPECT_TRUE(text(QStringLiteral("document.querySelector('#overlay .scale').textContent"))
                    .endsWith(QStringLiteral("calibration: pixel spacing (GEOMETRY)")));
    EXPECT_EQ(text(QStringLiteral("KestOverlay.decimalText('1.005\\\\-0.001\\\\abc\\\\1e300')")),
              QStringLiteral("1\\0\\abc\\1e+300"));

    ASSERT_TRUE(show(QStringLiteral("detector_spacing")));
    EXPECT_TRUE(
        text(QStringLiteral("document.querySelector('#overlay .scale').textContent"))
            .endsWith(QStringLiteral("calibration: imager pixel spacing, at the detector")));
}

} // namespace
