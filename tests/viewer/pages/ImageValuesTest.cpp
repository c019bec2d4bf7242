// The image page's values: the VOI LUT function applied to the grey levels
// drawn, the file's windows selectable in the sidebar, and the probe's
// modality value with its unit.

#include "PageHarness.h"
#include "tests/common/DicomFiles.h"

#include "platform/MessagePump.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>

#include <gtest/gtest.h>

#include <cmath>

using namespace testing_support;

namespace {

class ImageValues : public ::testing::Test {
protected:
    static void SetUpTestSuite() { initWebEngine(); }

    bool show(const QString& sourcePath) {
        folder.setWorkingCopy(sourcePath, QStringLiteral("image.dcm"));
        return view.load(folder.fillPage(QStringLiteral("KDVAX_MONO.dll"),
                                         QStringLiteral("KDVAX_MONO.html"), QStringLiteral("Tool"),
                                         QStringLiteral("en"))) &&
               view.waitForMessage(QStringLiteral("imageChanged")) &&
               view.waitForMessage(QStringLiteral("zoomChanged"));
    }

    // The grey levels drawn for the first row of the image, one per pixel (the
    // renderer draws grey images as the opacity of black over white).
    QList<int> drawnRow() {
        view.pump(200);
        const QString json =
            view.run(QStringLiteral(
                         "(function () { var e = cornerstone.getEnabledElement("
                         "document.getElementById('image'));"
                         " var d = e.renderingTools.renderCanvasData.data; var row = [];"
                         " for (var x = 0; x < e.image.width; x++) { row.push(d[4 * x + 3]); }"
                         " return JSON.stringify(row); })()"))
                .toString();
        QList<int> row;
        for (const QJsonValue& value : QJsonDocument::fromJson(json.toUtf8()).array())
            row.append(value.toInt());
        return row;
    }

    QString run(const QString& script) { return view.run(script).toString(); }

    QString windowShown() {
        return run(QStringLiteral("(function () { var v = cornerstone.getViewport("
                                  "document.getElementById('image'));"
                                  " return v.voi.windowCenter + '/' + v.voi.windowWidth; })()"));
    }

    InstanceFolder folder;
    PageView view;
};

int ramp(int x, int) {
    return x;
}

// A 256-wide ramp (pixel x holds x) with a window and its function.
bool writeRamp(const QString& path, const QByteArray& centres, const QByteArray& widths,
               const QByteArray& function, const QByteArray& explanations = {}) {
    DicomBuilder builder;
    builder.add(0x0008, 0x0060, "CS", "OT")
        .add(0x0028, 0x1050, "DS", centres)
        .add(0x0028, 0x1051, "DS", widths);
    if (!explanations.isEmpty())
        builder.add(0x0028, 0x1055, "LO", explanations);
    if (!function.isEmpty())
        builder.add(0x0028, 0x1056, "CS", function);
    builder.addGreyImage(256, 2, ramp);
    return builder.write(path);
}

// The grey level a VOI LUT function gives, from 0 to 255.
double expectedGrey(const QString& function, double x, double c, double w) {
    if (function == QLatin1String("SIGMOID"))
        return 255.0 / (1.0 + std::exp(-4.0 * (x - c) / w));
    if (function == QLatin1String("LINEAR_EXACT")) {
        if (x <= c - w / 2)
            return 0;
        return x > c + w / 2 ? 255 : ((x - c) / w + 0.5) * 255;
    }
    if (function == QLatin1String("LINEAR")) {
        if (x <= c - 0.5 - (w - 1) / 2)
            return 0;
        return x > c - 0.5 + (w - 1) / 2 ? 255 : ((x - (c - 0.5)) / (w - 1) + 0.5) * 255;
    }
    // No function named: the renderer's own linear window.
    return std::clamp(((x - c) / w + 0.5) * 255, 0.0, 255.0);
}

class VoiFunctions : public ImageValues, public ::testing::WithParamInterface<const char*> {};

TEST_P(VoiFunctions, GreyLevelsFollowTheFunctionTheFileNames) {
    const QString function = QString::fromLatin1(GetParam());
    const QString source = folder.path(QStringLiteral("ramp.dcm"));
    ASSERT_TRUE(writeRamp(source, "100", "41", function.toLatin1()));
    ASSERT_TRUE(show(source));
    const QList<int> row = drawnRow();
    ASSERT_EQ(row.size(), 256);
    int wrong = 0;
    for (int x = 0; x < 256; ++x)
        wrong += std::abs(row[x] - expectedGrey(function, x, 100, 41)) > 1.0;
    EXPECT_EQ(wrong, 0);
    // Dragging the window redraws through the same function.
    run(QStringLiteral("(function () { var e = document.getElementById('image');"
                       " var v = cornerstone.getViewport(e); v.voi.windowCenter = 180;"
                       " v.voi.windowWidth = 20; cornerstone.setViewport(e, v); })()"));
    const QList<int> moved = drawnRow();
    ASSERT_EQ(moved.size(), 256);
    wrong = 0;
    for (int x = 0; x < 256; ++x)
        wrong += std::abs(moved[x] - expectedGrey(function, x, 180, 20)) > 1.0;
    EXPECT_EQ(wrong, 0);
}

INSTANTIATE_TEST_SUITE_P(Functions, VoiFunctions,
                         ::testing::Values("SIGMOID", "LINEAR_EXACT", "LINEAR", ""),
                         [](const auto& info) {
                             return *info.param ? std::string(info.param) : std::string("None");
                         });

// A sigmoid keeps its curve when the image is inverted.
TEST_F(ImageValues, AnInvertedSigmoidIsTheSigmoidUpsideDown) {
    const QString source = folder.path(QStringLiteral("ramp.dcm"));
    ASSERT_TRUE(writeRamp(source, "128", "64", "SIGMOID"));
    ASSERT_TRUE(show(source));
    run(QStringLiteral("PressButton('Invert')"));
    const QList<int> row = drawnRow();
    ASSERT_EQ(row.size(), 256);
    for (int x : {0, 100, 128, 160, 255})
        EXPECT_NEAR(row[x], 255 - expectedGrey(QStringLiteral("SIGMOID"), x, 128, 64), 1.0) << x;
}

TEST_F(ImageValues, TheFilesWindowsAreChosenInTurnWithoutTellingTheHost) {
    const QString source = folder.path(QStringLiteral("windows.dcm"));
    ASSERT_TRUE(writeRamp(source, "100\\200", "50\\300", {}, "SOFT\\BONE"));
    ASSERT_TRUE(show(source));
    const QString button = QStringLiteral("document.getElementById('voiChoice')");
    EXPECT_EQ(run(button + QStringLiteral(".style.display")), QString());
    EXPECT_EQ(run(button + QStringLiteral(".textContent")), QStringLiteral("Window 1/2"));
    EXPECT_EQ(run(button + QStringLiteral(".title")), QStringLiteral("SOFT"));
    EXPECT_EQ(windowShown(), QStringLiteral("100/50"));

    view.clearMessages();
    run(button + QStringLiteral(".click()"));
    view.pump(200);
    EXPECT_EQ(windowShown(), QStringLiteral("200/300"));
    EXPECT_EQ(run(button + QStringLiteral(".textContent")), QStringLiteral("Window 2/2"));
    EXPECT_EQ(run(button + QStringLiteral(".title")), QStringLiteral("BONE"));
    EXPECT_TRUE(run(QStringLiteral("document.querySelector('#overlay .br').textContent"))
                    .startsWith(QStringLiteral("C: 200 W: 300")));
    run(button + QStringLiteral(".click()"));
    view.pump(200);
    EXPECT_EQ(windowShown(), QStringLiteral("100/50"));
    EXPECT_TRUE(view.messages().isEmpty());
}

QByteArray uint16s(const QList<int>& values) {
    QByteArray bytes;
    for (int value : values) {
        bytes.append(char(value & 0xff));
        bytes.append(char(value >> 8));
    }
    return bytes;
}

// A ramp with an inverting VOI LUT and a window: the lookup table is shown
// first, as the renderer does, and the window is the second choice.
TEST_F(ImageValues, AVoiLutIsAChoiceBesideTheWindows) {
    QList<int> inverting;
    for (int i = 0; i < 256; ++i)
        inverting.append(255 - i);
    DicomBuilder lut;
    lut.add(0x0028, 0x3002, "US", uint16s({256, 0, 8}))
        .add(0x0028, 0x3006, "OW", uint16s(inverting));
    DicomBuilder builder;
    builder.add(0x0008, 0x0060, "CS", "OT")
        .add(0x0028, 0x1050, "DS", "128")
        .add(0x0028, 0x1051, "DS", "256")
        .addSequence(0x0028, 0x3010, {lut})
        .addGreyImage(256, 2, ramp);
    const QString source = folder.path(QStringLiteral("lut.dcm"));
    ASSERT_TRUE(builder.write(source));
    ASSERT_TRUE(show(source));
    EXPECT_EQ(run(QStringLiteral("document.getElementById('voiChoice').textContent")),
              QStringLiteral("Window 1/2"));
    QList<int> row = drawnRow();
    ASSERT_EQ(row.size(), 256);
    EXPECT_EQ(row[10], 245);
    EXPECT_EQ(row[200], 55);
    run(QStringLiteral("document.getElementById('voiChoice').click()"));
    EXPECT_EQ(windowShown(), QStringLiteral("128/256"));
    row = drawnRow();
    ASSERT_EQ(row.size(), 256);
    EXPECT_NEAR(row[10], expectedGrey({}, 10, 128, 256), 1.0);
    EXPECT_NEAR(row[200], expectedGrey({}, 200, 128, 256), 1.0);
}

TEST_F(ImageValues, AFileWithOneWindowShowsNoChoice) {
    ASSERT_TRUE(show(pydicomFile(QStringLiteral("CT_small.dcm"))));
    EXPECT_EQ(run(QStringLiteral("document.getElementById('voiChoice').style.display")),
              QStringLiteral("none"));
}

// The Enhanced CT of the pixel values test (pydicom): frame n has the window
// 40 + 100 n / 400 + 100 n and the rescale slope 1, 2, 0.5 with intercept
// -1024, -2048, 100.
TEST_F(ImageValues, FramesOfAnEnhancedFileBringTheirOwnWindowAndRescale) {
    const QString source = folder.path(QStringLiteral("enhanced.dcm"));
    ASSERT_EQ(
        QProcess::execute(QStringLiteral(KEST_SYSTEM_PYTHON), {QStringLiteral(KEST_PIXEL_REFERENCE),
                                                               QStringLiteral("enhanced"), source}),
        0);
    ASSERT_TRUE(show(source));
    EXPECT_EQ(windowShown(), QStringLiteral("40/400"));
    // The thickness the file gives only in its functional groups.
    EXPECT_TRUE(run(QStringLiteral("document.querySelector('#overlay .bl').textContent"))
                    .contains(QStringLiteral("Thickness: 2 mm")));
    const QString probe = QStringLiteral(
        "(function () { var e = document.getElementById('image'); var i = cornerstone.getImage(e);"
        " var t = KestValues.probeText(i, 2, 3, e); var sp = parseFloat(t.split(' ')[1]);"
        " return t === 'SP: ' + sp + ' MO: ' + parseFloat((sp * %1 + %2).toFixed(3)) + ' HU'; "
        "})()");
    EXPECT_EQ(view.run(probe.arg(1).arg(-1024)).toBool(), true);

    // A frame step follows the next frame's own window while the user has not moved it.
    run(QStringLiteral("PressButton('FrameNext')"));
    ASSERT_TRUE(pump::waitUntil([&] { return windowShown() == QLatin1String("140/500"); },
                                std::chrono::seconds(10)));
    EXPECT_EQ(view.run(probe.arg(2).arg(-2048)).toBool(), true);

    // A window the user chose stays.
    run(QStringLiteral("(function () { var e = document.getElementById('image');"
                       " var v = cornerstone.getViewport(e); v.voi.windowCenter = 1000;"
                       " v.voi.windowWidth = 10; cornerstone.setViewport(e, v); })()"));
    run(QStringLiteral("PressButton('FrameNext')"));
    ASSERT_TRUE(pump::waitUntil([&] { return view.run(probe.arg(0.5).arg(100)).toBool(); },
                                std::chrono::seconds(10)));
    EXPECT_EQ(windowShown(), QStringLiteral("1000/10"));
}

struct ProbeCase {
    const char* name;
    const char* modality;
    const char* rescaleType; // empty: none
    const char* unit;        // what follows the modality value
};

class ProbeUnits : public ImageValues, public ::testing::WithParamInterface<ProbeCase> {};

int shade(int x, int y) {
    return 10 * x + y;
}

// The probe reads the stored value and the modality value (slope 2,
// intercept -100) with the unit of the modality values.
TEST_P(ProbeUnits, ShowTheModalityValueWithItsUnit) {
    const QString source = folder.path(QStringLiteral("probe.dcm"));
    DicomBuilder builder;
    builder.add(0x0008, 0x0060, "CS", GetParam().modality)
        .add(0x0028, 0x1052, "DS", "-100")
        .add(0x0028, 0x1053, "DS", "2");
    if (*GetParam().rescaleType)
        builder.add(0x0028, 0x1054, "LO", GetParam().rescaleType);
    builder.addGreyImage(16, 16, shade);
    ASSERT_TRUE(builder.write(source));
    ASSERT_TRUE(show(source));
    const QString text =
        run(QStringLiteral("(function () { var e = document.getElementById('image');"
                           " return KestValues.probeText(cornerstone.getImage(e), 3, 4, e); })()"));
    EXPECT_EQ(text, QStringLiteral("SP: 34 MO: -32") + QString::fromLatin1(GetParam().unit));
}

// A click with the probe leaves a measurement the page draws without error.
TEST_F(ImageValues, TheProbeMeasuresWhereItIsClicked) {
    ASSERT_TRUE(show(pydicomFile(QStringLiteral("CT_small.dcm"))));
    run(QStringLiteral("PressButton('Probe')"));
    const QStringList point =
        run(QStringLiteral(
                "(function () { var e = document.getElementById('image');"
                " var r = e.getBoundingClientRect();"
                " var p = cornerstone.pixelToCanvas(e, { x: 40.5, y: 30.5 });"
                " return Math.round(r.left + p.x) + ',' + Math.round(r.top + p.y); })()"))
            .split(',');
    ASSERT_EQ(point.size(), 2);
    view.click(QPoint(point[0].toInt(), point[1].toInt()));
    view.pump(300);
    EXPECT_EQ(
        run(QStringLiteral("(function () { var e = document.getElementById('image');"
                           " var s = cornerstoneTools.getToolState(e, 'Probe');"
                           " var end = s && s.data.length === 1 ? s.data[0].handles.end : null;"
                           " return end ? Math.floor(end.x) + ',' + Math.floor(end.y) : ''; })()")),
        QStringLiteral("40,30"));
    EXPECT_TRUE(view.consoleErrors().isEmpty()) << view.consoleErrors().join('\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Units, ProbeUnits,
                         ::testing::Values(ProbeCase{"CtInHounsfieldUnits", "CT", "", " HU"},
                                           ProbeCase{"RescaleTypeNamesTheUnit", "CT", "OD", " OD"},
                                           ProbeCase{"RescaleTypeUsHasNone", "CT", "US", ""},
                                           ProbeCase{"OtherModalitiesHaveNone", "MR", "", ""}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
