#include "PageHarness.h"
#include "tests/common/DicomFiles.h"
#include "tests/viewer/DecoderAnswer.h"

#include <QDate>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTime>

#include <cmath>

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

class ImageOverlay : public ::testing::Test {
protected:
    static void SetUpTestSuite() { initWebEngine(); }

    bool show(const QString& sourcePath, const QString& language = QStringLiteral("en")) {
        folder.setWorkingCopy(sourcePath, QStringLiteral("image.dcm"));
        const QString page =
            folder.fillPage(QStringLiteral("KDVAX_MONO.dll"), QStringLiteral("KDVAX_MONO.html"),
                            QStringLiteral("Tool"), language);
        return view.load(page) && waitForRender();
    }

    // The file's image once the page drew it, decoded by the viewer's decoder when the page asks.
    bool waitForRender() {
        if (!view.waitForAnyMessage(
                {QStringLiteral("imageChanged"), QStringLiteral("decodePixels")}))
            return false;
        if (!view.messages(QStringLiteral("decodePixels")).isEmpty()) {
            const QString description = testing_support::decoderAnswer(
                QStringLiteral(KEST_DECODER_PATH), folder.path(QStringLiteral("image.dcm")),
                folder.path(QStringLiteral("KDVAX_PIXELS_0.bin")), 20000);
            const QByteArray literal =
                QJsonDocument(QJsonArray{description}).toJson(QJsonDocument::Compact);
            view.run(QStringLiteral("hostPixels(%1)")
                         .arg(QString::fromUtf8(literal.mid(1, literal.size() - 2))));
            if (!view.waitForMessage(QStringLiteral("imageChanged")))
                return false;
        }
        return view.waitForMessage(QStringLiteral("zoomChanged"));
    }

    QString part(const QString& name) {
        view.pump(100);
        return view
            .run(QStringLiteral("document.querySelector('#overlay .%1').textContent").arg(name))
            .toString();
    }

    QStringList edges() {
        return {part(QStringLiteral("top")), part(QStringLiteral("bottom")),
                part(QStringLiteral("left")), part(QStringLiteral("right"))};
    }

    void changeViewport(const QString& change) {
        view.run(QStringLiteral("(function () { var e = document.getElementById('image');"
                                " var v = cornerstone.getViewport(e); %1;"
                                " cornerstone.setViewport(e, v); })()")
                     .arg(change));
        view.pump(200);
    }

    InstanceFolder folder;
    PageView view;
};

// A value as dcmdump reads it, in the form the English overlay shows it:
// dates as YYYY-MM-DD, times as HH:MM:SS, names as "Family, Given".
QString dumpedForm(const QString& file, const QString& tag) {
    const QString value = dcmdumpValue(file, tag);
    if (value.isEmpty())
        return value;
    if (tag == QLatin1String("0010,0010") && value.contains('^'))
        return value.section('^', 0, 0) + QStringLiteral(", ") +
               value.section('^', 1).replace('^', ' ').trimmed();
    if (tag.startsWith(QLatin1String("0008,003")))
        return QTime::fromString(value.left(6), QStringLiteral("HHmmss")).toString("HH:mm:ss");
    if (tag == QLatin1String("0010,0030") || tag == QLatin1String("0008,0020"))
        return QDate::fromString(value, QStringLiteral("yyyyMMdd")).toString(Qt::ISODate);
    return value;
}

// The lines dcmdump reads for the tags, without the missing ones; dates,
// times and names in the overlay's English forms.
QString dumpedLines(const QString& file, const QList<QStringList>& lines) {
    QStringList text;
    for (const QStringList& tags : lines) {
        QStringList values;
        for (const QString& tag : tags)
            if (const QString value = dumpedForm(file, tag); !value.isEmpty())
                values << value;
        if (!values.isEmpty())
            text << values.join(' ');
    }
    return text.join('\n');
}

// A decimal string as the overlay shows it: at most two decimals, no trailing zeros.
QString decimalForm(const QString& text) {
    return QString::number(std::round(text.toDouble() * 100) / 100, 'g', 15);
}

class OverlayOfRealFiles : public ImageOverlay,
                           public ::testing::WithParamInterface<const char*> {};

TEST_P(OverlayOfRealFiles, CornersHoldWhatDcmdumpReads) {
    const QString file = pydicomFile(QString::fromLatin1(GetParam()));
    ASSERT_TRUE(show(file)) << view.consoleErrors().join('\n').toStdString();

    EXPECT_EQ(part(QStringLiteral("tl")),
              dumpedLines(file, {{"0010,0010"}, {"0010,0020"}, {"0010,0030", "0010,0040"}}));
    EXPECT_EQ(part(QStringLiteral("tr")),
              dumpedLines(file, {{"0008,0060"}, {"0008,0020", "0008,0030"}, {"0008,1030"}}));
    const QString bottomLeft = part(QStringLiteral("bl"));
    EXPECT_TRUE(bottomLeft.contains("Series: " + dcmdumpValue(file, QStringLiteral("0020,0011"))));
    EXPECT_TRUE(bottomLeft.contains("Image: " + dcmdumpValue(file, QStringLiteral("0020,0013"))));
    EXPECT_TRUE(bottomLeft.contains(QStringLiteral("Frame: 1 / 1")));
    EXPECT_TRUE(bottomLeft.contains(
        QStringLiteral("Thickness: %1 mm").arg(decimalForm(dcmdumpValue(file, "0018,0050")))))
        << bottomLeft.toStdString();
    EXPECT_TRUE(bottomLeft.contains(
        QStringLiteral("Location: %1 mm").arg(decimalForm(dcmdumpValue(file, "0020,1041")))))
        << bottomLeft.toStdString();

    const QString centre = dcmdumpValue(file, QStringLiteral("0028,1050"));
    if (!centre.isEmpty()) {
        const QString window = QStringLiteral("C: %1 W: %2").arg(qRound(centre.toDouble()));
        const double width = dcmdumpValue(file, QStringLiteral("0028,1051")).toDouble();
        EXPECT_TRUE(part(QStringLiteral("br")).startsWith(window.arg(qRound(width))));
    }
    EXPECT_TRUE(
        part(QStringLiteral("br"))
            .endsWith(
                QStringLiteral("Zoom: %1%").arg(view.lastContent(QStringLiteral("zoomChanged")))));
    EXPECT_EQ(part(QStringLiteral("lossy")), QString());
}

INSTANTIATE_TEST_SUITE_P(
    Pydicom, OverlayOfRealFiles, ::testing::Values("CT_small.dcm", "MR_small.dcm"),
    [](const auto& info) {
        return QString::fromLatin1(info.param).section('.', 0, 0).toStdString();
    });

TEST_F(ImageOverlay, WindowAndZoomFollowEveryRender) {
    ASSERT_TRUE(show(pydicomFile(QStringLiteral("CT_small.dcm"))));
    view.run(QStringLiteral("SetZoom('250')"));
    changeViewport(QStringLiteral("v.voi.windowCenter = 123.4; v.voi.windowWidth = 56"));
    EXPECT_EQ(part(QStringLiteral("br")), QStringLiteral("C: 123 W: 56\nZoom: 250%"));
}

int flat(int, int) {
    return 100;
}

// A 16 x 16 image after the given attributes (in tag order, below group 0028)
// with, when given, its pixel spacing.
bool writeImageWith(const QString& path, DicomBuilder attributes, const QByteArray& spacing = {}) {
    if (!spacing.isEmpty())
        attributes.add(0x0028, 0x0030, "DS", spacing);
    attributes.addGreyImage(16, 16, flat);
    return attributes.write(path);
}

bool writeImage(const QString& path, const QByteArray& orientation,
                const QByteArray& name = "Edge^Test") {
    DicomBuilder builder;
    builder.add(0x0008, 0x0060, "CS", "MR").add(0x0010, 0x0010, "PN", name);
    if (!orientation.isEmpty())
        builder.add(0x0020, 0x0037, "DS", orientation);
    return writeImageWith(path, builder);
}

struct Orientation {
    const char* name;
    const char* orientation;
    const char* edges; // top, bottom, left, right
};

class OverlayEdges : public ImageOverlay, public ::testing::WithParamInterface<Orientation> {};

TEST_P(OverlayEdges, NameThePatientDirections) {
    const QString source = folder.path(QStringLiteral("source.dcm"));
    ASSERT_TRUE(writeImage(source, GetParam().orientation));
    ASSERT_TRUE(show(source));
    EXPECT_EQ(edges().join(' '), QString::fromLatin1(GetParam().edges));
}

INSTANTIATE_TEST_SUITE_P(Planes, OverlayEdges,
                         ::testing::Values(Orientation{"Axial", "1\\0\\0\\0\\1\\0", "A P R L"},
                                           Orientation{"Sagittal", "0\\1\\0\\0\\0\\-1", "H F A P"},
                                           Orientation{"Coronal", "1\\0\\0\\0\\0\\-1", "H F R L"},
                                           Orientation{"Oblique", "0.866\\0.5\\0\\-0.5\\0.866\\0",
                                                       "AL PR RA LP"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ImageOverlay, EdgesFollowRotationAndFlips) {
    const QString source = folder.path(QStringLiteral("source.dcm"));
    ASSERT_TRUE(writeImage(source, "1\\0\\0\\0\\1\\0"));
    ASSERT_TRUE(show(source));
    changeViewport(QStringLiteral("v.rotation = 90"));
    EXPECT_EQ(edges(), QStringList({"R", "L", "P", "A"}));
    changeViewport(QStringLiteral("v.rotation = 0; v.hflip = true"));
    EXPECT_EQ(edges(), QStringList({"A", "P", "L", "R"}));
    changeViewport(QStringLiteral("v.hflip = false; v.vflip = true"));
    EXPECT_EQ(edges(), QStringList({"P", "A", "R", "L"}));
    changeViewport(QStringLiteral("v.vflip = false; v.rotation = 270; v.hflip = true"));
    EXPECT_EQ(edges(), QStringList({"R", "L", "A", "P"}));
}

TEST_F(ImageOverlay, FilesWithoutOrientationOrPatientDataLeaveTheirLinesOut) {
    const QString source = folder.path(QStringLiteral("source.dcm"));
    ASSERT_TRUE(writeImage(source, {}));
    ASSERT_TRUE(show(source));
    EXPECT_EQ(edges(), QStringList({"", "", "", ""}));
    EXPECT_EQ(part(QStringLiteral("tl")), QStringLiteral("Edge, Test"));
    EXPECT_EQ(part(QStringLiteral("tr")), QStringLiteral("MR"));
}

class OverlayLossy : public ImageOverlay, public ::testing::WithParamInterface<const char*> {};

TEST_P(OverlayLossy, JpegFilesCarryTheWarning) {
    ASSERT_TRUE(show(pydicomFile(QString::fromLatin1(GetParam()))))
        << view.consoleErrors().join('\n').toStdString();
    EXPECT_EQ(part(QStringLiteral("lossy")), QStringLiteral("LOSSY"));
}

INSTANTIATE_TEST_SUITE_P(Pydicom, OverlayLossy,
                         ::testing::Values("SC_rgb_jpeg_dcmtk.dcm", "JPEG-lossy.dcm"),
                         [](const auto& info) {
                             QString name = QString::fromLatin1(info.param).section('.', 0, 0);
                             return name.replace('-', '_').toStdString();
                         });

TEST_F(ImageOverlay, TheLossyFlagOfAnUncompressedFileIsWarnedInThePagesLanguage) {
    const QString source = folder.path(QStringLiteral("source.dcm"));
    ASSERT_TRUE(QFile::copy(pydicomFile(QStringLiteral("CT_small.dcm")), source));
    ASSERT_EQ(
        QProcess::execute(QStringLiteral("dcmodify"), {QStringLiteral("-nb"), QStringLiteral("-i"),
                                                       QStringLiteral("(0028,2110)=01"), source}),
        0);
    ASSERT_TRUE(show(source, QStringLiteral("fr")));
    EXPECT_EQ(part(QStringLiteral("lossy")), QStringLiteral("AVEC PERTE"));
}

TEST_F(ImageOverlay, TagValuesAreShownAsText) {
    const QString source = folder.path(QStringLiteral("source.dcm"));
    const QByteArray hostile = "<img src=x onerror=__pwned=1>";
    ASSERT_TRUE(writeImage(source, "1\\0\\0\\0\\1\\0", hostile));
    ASSERT_TRUE(show(source));
    view.pump(300);
    // What comes before "=" is the name's alphabetic group.
    EXPECT_EQ(part(QStringLiteral("tl")), QStringLiteral("<img src"));
    EXPECT_EQ(view.run(QStringLiteral("document.querySelectorAll('#overlay img').length")).toInt(),
              0);
    EXPECT_FALSE(view.run(QStringLiteral("typeof __pwned !== 'undefined'")).toBool());
}

TEST_F(ImageOverlay, TheSidebarHidesAndShowsItWithoutTellingTheHost) {
    ASSERT_TRUE(show(pydicomFile(QStringLiteral("CT_small.dcm"))));
    view.clearMessages();
    const QString shown =
        QStringLiteral("getComputedStyle(document.getElementById('overlay')).display !== 'none'");
    const QString click = QStringLiteral("document.getElementById('overlayToggle').click()");
    EXPECT_TRUE(view.run(shown).toBool());
    view.run(click);
    EXPECT_FALSE(view.run(shown).toBool());
    view.run(click);
    EXPECT_TRUE(view.run(shown).toBool());
    view.pump(200);
    EXPECT_TRUE(view.messages(QStringLiteral("buttonClicked")).isEmpty());
    EXPECT_EQ(
        view.run(QStringLiteral("document.getElementById('overlayToggle').textContent")).toString(),
        QStringLiteral("Overlay"));
}

TEST_F(ImageOverlay, ValuesAreShownInTheFormOfTheirKind) {
    ASSERT_TRUE(show(pydicomFile(QStringLiteral("CT_small.dcm"))));
    const QList<QPair<QString, QString>> cases = {
        // Dates: the old dotted form too; impossible days stay as the file has them.
        {"formatDate('20240229', 'DD/MM/YYYY')", "29/02/2024"},
        {"formatDate('1999.12.31', 'YYYY-MM-DD')", "1999-12-31"},
        {"formatDate('20230229', 'YYYY-MM-DD')", "20230229"},
        {"formatDate('20231301', 'YYYY-MM-DD')", "20231301"},
        {"formatDate('20230101', 'no pattern')", "2023-01-01"},
        // Times: fraction dropped, partial times completed, impossible ones kept.
        {"formatTime('070000.000')", "07:00:00"},
        {"formatTime('1830')", "18:30"},
        {"formatTime('07')", "07:00"},
        {"formatTime('23:59:60')", "23:59:60"},
        {"formatTime('2460')", "2460"},
        // Names: every component in reading order, the first group that holds one.
        {"personName('Doe^John^Albert^Dr^Jr')", "Doe, Dr John Albert, Jr"},
        {"personName('Doe')", "Doe"},
        {"personName('^John')", "John"},
        {QStringLiteral("personName('^=\u5c71\u7530^\u592a\u90ce')"),
         QStringLiteral("\u5c71\u7530, \u592a\u90ce")}};
    for (const auto& [call, expected] : cases)
        EXPECT_EQ(view.run("KestOverlay." + call).toString(), expected) << call.toStdString();
}

// The text and geometry of the scale bar.
struct ScaleBar {
    bool shown = false;
    double width = 0;
    QString text;
    double viewportWidth = 0;
    double mm() const { return text.section(' ', 0, 0).toDouble(); }
};

class OverlayScale : public ImageOverlay {
protected:
    ScaleBar scaleBar() {
        view.pump(100);
        const QJsonObject bar =
            QJsonDocument::fromJson(
                view.run(QStringLiteral(
                             "JSON.stringify({ shown: !document.querySelector('#overlay "
                             ".scalebar').hidden, width: document.querySelector('#overlay "
                             ".scalebar').getBoundingClientRect().width, text: "
                             "document.querySelector('#overlay .scale').textContent, viewport: "
                             "document.getElementById('image').clientWidth })"))
                    .toString()
                    .toUtf8())
                .object();
        return {bar[QLatin1String("shown")].toBool(), bar[QLatin1String("width")].toDouble(),
                bar[QLatin1String("text")].toString(), bar[QLatin1String("viewport")].toDouble()};
    }
};

// A length of 1, 2 or 5 times a power of ten.
bool isRound(double mm) {
    const double mantissa = mm / std::pow(10.0, std::floor(std::log10(mm) + 1e-9));
    return std::abs(mantissa - 1) < 1e-6 || std::abs(mantissa - 2) < 1e-6 ||
           std::abs(mantissa - 5) < 1e-6;
}

TEST_F(OverlayScale, TheBarMeasuresRoundMillimetresAtEveryZoom) {
    const QString file = pydicomFile(QStringLiteral("CT_small.dcm"));
    ASSERT_TRUE(show(file));
    const double spacing =
        dcmdumpValue(file, QStringLiteral("0028,0030")).section('\\', 1).toDouble();
    ASSERT_GT(spacing, 0);
    for (const int zoom : {100, 250, 800, 3000}) {
        view.run(QStringLiteral("SetZoom('%1')").arg(zoom));
        const ScaleBar bar = scaleBar();
        ASSERT_TRUE(bar.shown) << zoom;
        EXPECT_TRUE(isRound(bar.mm())) << bar.text.toStdString();
        EXPECT_NEAR(bar.width, bar.mm() / spacing * zoom / 100, 1.0) << zoom;
        // About a fifth of the viewport: the nearest round length is within a factor 1.6.
        EXPECT_GT(bar.width, bar.viewportWidth / 5 / 1.6) << zoom;
        EXPECT_LT(bar.width, bar.viewportWidth / 5 * 1.6) << zoom;
        EXPECT_TRUE(bar.text.endsWith(QStringLiteral(" mm \u00b7 calibration: pixel spacing")))
            << bar.text.toStdString();
    }
}

// Screen pixels per millimetre along the image's rows and columns, as the
// image is drawn: 16 columns 0.25 mm apart, 16 rows 0.5 mm apart.
QPair<double, double> drawnPixelsPerMm(PageView& view) {
    const QString distance =
        QStringLiteral("(function () { var e = document.getElementById('image');"
                       " var a = cornerstone.pixelToCanvas(e, { x: 0, y: 0 });"
                       " var b = cornerstone.pixelToCanvas(e, { x: %1, y: %2 });"
                       " return Math.hypot(b.x - a.x, b.y - a.y); })()");
    return {view.run(distance.arg(16).arg(0)).toDouble() / 4,
            view.run(distance.arg(0).arg(16)).toDouble() / 8};
}

TEST_F(OverlayScale, TheBarFollowsTheDrawnImageOfNonSquarePixels) {
    const QString source = folder.path(QStringLiteral("source.dcm"));
    DicomBuilder attributes;
    attributes.add(0x0008, 0x0060, "CS", "CR");
    ASSERT_TRUE(writeImageWith(source, attributes, "0.5\\0.25"));
    ASSERT_TRUE(show(source));
    view.run(QStringLiteral("SetZoom('1000')"));
    for (const QString rotation : {"0", "90", "45"}) {
        changeViewport(QStringLiteral("v.rotation = %1").arg(rotation));
        const auto [alongRows, alongColumns] = drawnPixelsPerMm(view);
        ASSERT_NEAR(alongRows, alongColumns, 0.01) << "the image is drawn to its proportions";
        const ScaleBar bar = scaleBar();
        ASSERT_TRUE(bar.shown);
        EXPECT_NEAR(bar.width, bar.mm() * alongRows, 1.0) << rotation.toStdString();
    }
}

TEST_F(OverlayScale, CalibrationSourceIsNamedAndAnUncalibratedImageHasNoBar) {
    const QString source = folder.path(QStringLiteral("source.dcm"));
    DicomBuilder imager;
    imager.add(0x0008, 0x0060, "CS", "DX").add(0x0018, 0x1164, "DS", "0.1\\0.1");
    ASSERT_TRUE(writeImageWith(source, imager));
    ASSERT_TRUE(show(source));
    EXPECT_TRUE(scaleBar().shown);
    EXPECT_TRUE(scaleBar().text.endsWith(QStringLiteral("calibration: imager pixel spacing")));
    EXPECT_FALSE(part(QStringLiteral("bl")).contains(QStringLiteral("calibration")));

    ASSERT_TRUE(writeImage(source, {}));
    ASSERT_TRUE(show(source));
    EXPECT_FALSE(scaleBar().shown);
    EXPECT_EQ(scaleBar().text, QString());
    EXPECT_TRUE(part(QStringLiteral("bl")).endsWith(QStringLiteral("uncalibrated: pixels")));
}

TEST_F(ImageOverlay, LabelsDatesAndTimesFollowThePagesLanguage) {
    const QString file = pydicomFile(QStringLiteral("CT_small.dcm"));
    ASSERT_TRUE(show(file, QStringLiteral("fr")));
    const QDate date = QDate::fromString(dcmdumpValue(file, QStringLiteral("0008,0020")),
                                         QStringLiteral("yyyyMMdd"));
    const QTime time = QTime::fromString(dcmdumpValue(file, QStringLiteral("0008,0030")).left(6),
                                         QStringLiteral("HHmmss"));
    EXPECT_TRUE(part(QStringLiteral("tr"))
                    .contains(date.toString(QStringLiteral("dd/MM/yyyy")) + ' ' +
                              time.toString(QStringLiteral("HH:mm:ss"))));
    const QString bottomLeft = part(QStringLiteral("bl"));
    EXPECT_TRUE(bottomLeft.contains(QStringLiteral("S\u00e9rie: ")));
    EXPECT_TRUE(bottomLeft.contains(QStringLiteral("Trame: 1 / 1")));
    EXPECT_TRUE(bottomLeft.contains(QStringLiteral("\u00c9paisseur: ")));
    view.run(QStringLiteral("SetZoom('200')"));
    changeViewport(QStringLiteral("v.voi.windowCenter = 40; v.voi.windowWidth = 400"));
    EXPECT_EQ(part(QStringLiteral("br")), QStringLiteral("C: 40 L: 400\nZoom: 200%"));
    EXPECT_TRUE(part(QStringLiteral("scale"))
                    .endsWith(QStringLiteral("calibration : espacement des pixels")));
}

TEST_F(ImageOverlay, HostileDatesAndHugeValuesStayBoundedText) {
    const QString source = folder.path(QStringLiteral("source.dcm"));
    const QByteArray huge = QByteArray("Long^") + QByteArray(20000, 'x') + "\r\n<b>";
    DicomBuilder attributes;
    attributes.add(0x0008, 0x0005, "CS", "ISO_IR 192")
        .add(0x0008, 0x0020, "DA", "2004<b>19")
        .add(0x0008, 0x0030, "TM", "99:99:99")
        .add(0x0008, 0x0060, "CS", "MR")
        .add(0x0008, 0x1030, "LO", "one\ntwo\u2028three")
        .add(0x0010, 0x0010, "PN", huge)
        .add(0x0010, 0x0030, "DA", "00000000");
    ASSERT_TRUE(writeImageWith(source, attributes));
    ASSERT_TRUE(show(source));
    const QStringList topLeft = part(QStringLiteral("tl")).split('\n');
    ASSERT_EQ(topLeft.size(), 2);
    EXPECT_EQ(topLeft[0].size(), 64);
    EXPECT_TRUE(topLeft[0].startsWith(QStringLiteral("Long, xxx")));
    EXPECT_TRUE(topLeft[0].endsWith(QChar(0x2026)));
    EXPECT_EQ(topLeft[1], QStringLiteral("00000000"));
    EXPECT_EQ(part(QStringLiteral("tr")), QStringLiteral("MR\n2004<b>19 99:99:99\none two three"));
    EXPECT_EQ(
        view.run(QStringLiteral("document.querySelectorAll('#overlay div *').length")).toInt(), 0);
}

TEST_F(ImageOverlay, TheSavedImageHoldsNoneOfIt) {
    ASSERT_TRUE(show(pydicomFile(QStringLiteral("CT_small.dcm"))));
    const auto saved = [this]() {
        view.clearMessages();
        view.run(QStringLiteral("saveCurrentImage('a.png')"));
        view.waitForMessage(QStringLiteral("saveImage"));
        return jsonField(view.lastContent(QStringLiteral("saveImage")), "base64");
    };
    const QString withOverlay = saved();
    ASSERT_FALSE(withOverlay.isEmpty());
    EXPECT_FALSE(part(QStringLiteral("scale")).isEmpty());
    view.run(QStringLiteral("document.getElementById('overlayToggle').click()"));
    view.pump(200);
    EXPECT_EQ(saved(), withOverlay);
}

} // namespace
