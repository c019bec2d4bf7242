#include "PageHarness.h"
#include "tests/common/DicomFiles.h"
#include "viewer/DecoderProcess.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>

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
            const QString description = decoderprocess::decode(
                QStringLiteral(KEST_DECODER_PATH), folder.path(QStringLiteral("image.dcm")),
                folder.path(QStringLiteral("KDVAX_PIXELS.bin")), 20000);
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

// The lines dcmdump reads for the tags, without the missing ones.
QString dumpedLines(const QString& file, const QList<QStringList>& lines) {
    QStringList text;
    for (const QStringList& tags : lines) {
        QStringList values;
        for (const QString& tag : tags)
            if (const QString value = dcmdumpValue(file, tag); !value.isEmpty())
                values << value;
        if (!values.isEmpty())
            text << values.join(' ');
    }
    return text.join('\n');
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
    EXPECT_TRUE(bottomLeft.contains("Se: " + dcmdumpValue(file, QStringLiteral("0020,0011"))));
    EXPECT_TRUE(bottomLeft.contains("Im: " + dcmdumpValue(file, QStringLiteral("0020,0013"))));
    EXPECT_TRUE(bottomLeft.contains(QStringLiteral("frame 1 / 1")));
    EXPECT_TRUE(bottomLeft.contains(
        QStringLiteral("ST: %1 mm").arg(dcmdumpValue(file, QStringLiteral("0018,0050")))));
    EXPECT_TRUE(bottomLeft.contains(
        QStringLiteral("SL: %1 mm").arg(dcmdumpValue(file, QStringLiteral("0020,1041")))));

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

bool writeImage(const QString& path, const QByteArray& orientation,
                const QByteArray& name = "Edge^Test") {
    DicomBuilder builder;
    builder.add(0x0008, 0x0060, "CS", "MR").add(0x0010, 0x0010, "PN", name);
    if (!orientation.isEmpty())
        builder.add(0x0020, 0x0037, "DS", orientation);
    builder.addGreyImage(16, 16, flat);
    return builder.write(path);
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
    EXPECT_EQ(part(QStringLiteral("tl")), QStringLiteral("Edge^Test"));
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
    EXPECT_EQ(part(QStringLiteral("tl")), QString::fromLatin1(hostile));
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

} // namespace
