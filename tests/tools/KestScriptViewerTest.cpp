// Whole workflows: scripts run by the real kestscript drive the viewer,
// created from a private registration store.

#include "ScriptRun.h"

#include "tests/common/DicomFiles.h"
#include "tests/common/QtPrinters.h"

#include <QFileInfo>
#include <QImage>
#include <QJsonArray>

#include <gtest/gtest.h>

namespace {

using testing_support::pydicomFile;

const QString CreateViewer =
    "var viewer = Host.createControl('KestDicomViewControl.KestDicomViewAX', 800, 600);\n"
    "var loads = [];\n"
    "viewer.on('ImageLoaded', function (args) { loads.push(args); });\n";

class KestScriptViewerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_run.registerLibrary(KEST_CONTROL_PATH)) << m_run.error().toStdString();
    }

    ScriptRun m_run;
};

TEST_F(KestScriptViewerTest, ALoadedFileReportsItsImageAndPatient) {
    const QString file = pydicomFile("CT_small.dcm");
    const auto result = m_run.run(CreateViewer + QString(R"js(
var accepted = viewer.LoadDicomFile(Host.arguments[0]);
Host.waitFor(function () { return loads.length > 0; }, 60000);
var args = loads[0];
Host.echo(JSON.stringify({ accepted: accepted, fileName: args.FileName, width: args.Width,
    height: args.Height, modality: args.Modality, noImage: args.NoImage,
    patient: viewer.dcmPatientName }));
)js"),
                                  {"--timeout", "120"}, {file});
    ASSERT_EQ(result.exitCode, 0) << result.errors.toStdString();
    const QJsonObject out = ScriptRun::lastJson(result);
    EXPECT_TRUE(out.value("accepted").toBool());
    EXPECT_EQ(out.value("fileName").toString(), QFileInfo(file).fileName());
    EXPECT_EQ(out.value("width").toInt(), 128);
    EXPECT_EQ(out.value("height").toInt(), 128);
    EXPECT_EQ(out.value("modality").toString(), "CT");
    EXPECT_FALSE(out.value("noImage").toBool());
    EXPECT_EQ(out.value("patient").toString(), testing_support::dcmdumpValue(file, "0010,0010"));
}

TEST_F(KestScriptViewerTest, QueuedDialogAnswersAreUsedInOrder) {
    const QString first = pydicomFile("CT_small.dcm");
    const QString second = pydicomFile("MR_small.dcm");
    const auto result = m_run.run(CreateViewer + QString(R"js(
Host.answerFileDialog(Host.arguments[0]);
Host.answerFileDialog(null);
Host.answerFileDialog(Host.arguments[1]);
var opened = [];
for (var i = 0; i < 4; ++i) {
    var before = loads.length;
    var ok = viewer.LoadSelectedDicomFile();
    if (ok)
        Host.waitFor(function () { return loads.length > before; }, 60000);
    opened.push(ok ? loads[loads.length - 1].FileName : false);
}
Host.echo(JSON.stringify({ opened: opened }));
)js"),
                                  {"--timeout", "160"}, {first, second});
    ASSERT_EQ(result.exitCode, 0) << result.errors.toStdString();
    const QJsonArray opened = ScriptRun::lastJson(result).value("opened").toArray();
    EXPECT_EQ(opened, QJsonArray({QFileInfo(first).fileName(), false, QFileInfo(second).fileName(),
                                  false}));
    // The fourth dialog had no answer queued: it was cancelled, and said so.
    EXPECT_TRUE(result.errors.contains("no answer was queued")) << result.errors.toStdString();
}

TEST_F(KestScriptViewerTest, TheExamplesRenderListAndExport) {
    const QString examples = QStringLiteral(KEST_SOURCE_DIR_PATH "/tools/kestscript/examples/");
    const QString ct = pydicomFile("CT_small.dcm");
    const QString mr = pydicomFile("MR_small.dcm");
    const QStringList timeout{"--timeout", "120"};

    const QString image = m_run.path("ct.png");
    const auto rendered = m_run.runFile(examples + "render-to-png.js", timeout, {ct, image});
    ASSERT_EQ(rendered.exitCode, 0) << rendered.errors.toStdString();
    EXPECT_EQ(QImage(image).size(), QSize(128, 128));

    const QString notDicom = examples + "list-dicom.js";
    const auto listed = m_run.runFile(examples + "list-dicom.js", timeout, {ct, notDicom, mr});
    ASSERT_EQ(listed.exitCode, 0) << listed.errors.toStdString();
    const QStringList lines = listed.output.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << listed.output.toStdString();
    EXPECT_EQ(lines[0],
              QStringList({ct, testing_support::dcmdumpValue(ct, "0010,0010"), "CT", "128x128"})
                  .join('\t'));
    EXPECT_EQ(lines[1], notDicom + "\tnot a DICOM file");
    EXPECT_TRUE(lines[2].startsWith(mr + '\t')) << lines[2].toStdString();
    EXPECT_TRUE(lines[2].endsWith("\tMR\t64x64")) << lines[2].toStdString();

    const QString tags = m_run.path("tags.png");
    const auto exported = m_run.runFile(examples + "tags-picture.js", timeout, {ct, tags});
    ASSERT_EQ(exported.exitCode, 0) << exported.errors.toStdString();
    const QImage page(tags);
    EXPECT_FALSE(page.isNull());
    EXPECT_GT(page.width(), 128) << "the visible page, not the image";
}

} // namespace
