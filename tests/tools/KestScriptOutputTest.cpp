// Printing and the clipboard through the real kestscript: print jobs become
// PDF files (--print-to) that poppler reads back; the clipboard is read in
// the script's process and, under a real X server, by another program.

#include "PrivateCups.h"
#include "ScriptRun.h"

#include "tests/common/DicomFiles.h"
#include "tests/common/PdfTools.h"
#include "tests/common/QtPrinters.h"

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

namespace {

using namespace testing_support;

const QString Viewer = R"js(
var viewer = Host.createControl('KestDicomViewControl.KestDicomViewAX', 800, 600);
var loads = [];
viewer.on('ImageLoaded', function (args) { loads.push(args); });
function load(file) {
    var before = loads.length;
    if (!viewer.LoadDicomFile(file))
        throw new Error('not loaded: ' + file);
    Host.waitFor(function () { return loads.length > before; }, 60000);
    return loads[loads.length - 1];
}
)js";

// Prints with PrintImage and waits for the job's file in the print folder.
const QString Printing = R"js(
var printFolder = Host.arguments[0];
var jobs = 0;
function printed(print) {
    print();
    var pdf = printFolder + '/print-' + (++jobs) + '.pdf';
    Host.waitFor(function () { return Host.fileExists(pdf); }, 60000);
    return pdf;
}
)js";

int stripes(int x, int y) {
    return 64 + (x + y) % 128;
}

// A monochrome picture of that size with a patient and a study date.
QString writeImage(const QString& path, int width, int height) {
    DicomBuilder()
        .add(0x0008, 0x0020, "DA", "20240115")
        .add(0x0008, 0x0060, "CS", "OT")
        .add(0x0010, 0x0010, "PN", "DOE^JANE")
        .add(0x0010, 0x0030, "DA", "19700101")
        .addGreyImage(width, height, stripes)
        .write(path);
    return path;
}

double aspectOfPrintedPicture(const QString& pdf) {
    const QRect drawn = nonWhiteBounds(pdfPageImage(pdf));
    return drawn.isEmpty() ? 0 : double(drawn.width()) / drawn.height();
}

bool isLandscape(const QString& pdf) {
    const QSizeF page = pdfPageSize(pdf);
    return page.width() > page.height();
}

class KestScriptOutputTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_run.registerLibrary(KEST_CONTROL_PATH)) << m_run.error().toStdString();
    }

    ScriptRun m_run;
};

TEST_F(KestScriptOutputTest, PrintImageTurnsThePageAndPrintsTheHeaderOnRequest) {
    const QString folder = m_run.path("printed");
    const QString wide = writeImage(m_run.path("wide.dcm"), 3000, 2000);
    const QString tall = writeImage(m_run.path("tall.dcm"), 2000, 3000);
    const auto result =
        m_run.run(Viewer + Printing + R"js(
load(Host.arguments[1]);
var withId = printed(function () { viewer.PrintImage('', true); });
var withoutId = printed(function () { viewer.PrintImage(); });
load(Host.arguments[2]);
var unknown = printed(function () { viewer.PrintImage('No such printer', false); });
Host.echo(JSON.stringify({ name: viewer.dcmPatientName, birth: viewer.dcmPatientBirthDate,
    exam: viewer.dcmExamDate, boxes: Host.messageBoxes.length }));
)js",
                  {"--print-to", folder, "--timeout", "200"}, {folder, wide, tall}, 220);
    ASSERT_EQ(result.exitCode, 0) << result.errors.toStdString();
    const QJsonObject out = ScriptRun::lastJson(result);
    EXPECT_EQ(out.value("boxes").toInt(), 0) << result.errors.toStdString();
    const QString name = out.value("name").toString();
    ASSERT_FALSE(name.isEmpty());

    const QString withId = folder + "/print-1.pdf";
    EXPECT_TRUE(isLandscape(withId));
    const QString text = pdfText(withId);
    EXPECT_TRUE(text.contains(name + " (" + out.value("birth").toString() + ")"))
        << text.toStdString();
    EXPECT_TRUE(text.contains("Date : " + out.value("exam").toString())) << text.toStdString();

    const QString withoutId = folder + "/print-2.pdf";
    EXPECT_TRUE(isLandscape(withoutId));
    EXPECT_TRUE(pdfText(withoutId).trimmed().isEmpty());
    EXPECT_NEAR(aspectOfPrintedPicture(withoutId), 1.5, 0.05);

    // The unknown name left the current printer in use.
    const QString unknown = folder + "/print-3.pdf";
    EXPECT_FALSE(isLandscape(unknown));
    EXPECT_NEAR(aspectOfPrintedPicture(unknown), 2.0 / 3, 0.05);
    EXPECT_FALSE(result.errors.contains("No such printer")) << result.errors.toStdString();
    EXPECT_EQ(pdfPages(unknown), 1);
}

TEST_F(KestScriptOutputTest, AReportPrintsThroughThePrintDialog) {
    const QString folder = m_run.path("printed");
    const auto result =
        m_run.run(Viewer + Printing + R"js(
var shown = load(Host.arguments[1]);
var pdf = printed(function () { viewer.PrintImage('', true); });
Host.echo(JSON.stringify({ noImage: shown.NoImage, pdf: pdf }));
)js",
                  {"--print-to", folder, "--timeout", "120"}, {folder, pydicomFile("test-SR.dcm")});
    ASSERT_EQ(result.exitCode, 0) << result.errors.toStdString();
    EXPECT_TRUE(ScriptRun::lastJson(result).value("noImage").toBool());
    const QString pdf = folder + "/print-1.pdf";
    EXPECT_GE(pdfPages(pdf), 1);
    EXPECT_FALSE(nonWhiteBounds(pdfPageImage(pdf)).isEmpty()) << "a blank page";
}

TEST_F(KestScriptOutputTest, PrintCanvasPrintsTheVisiblePageWithTheHeader) {
    const QString folder = m_run.path("printed");
    const auto result = m_run.run(Viewer + Printing + R"js(
load(Host.arguments[1]);
var pdf = printed(function () { viewer.PrintCanvas('', true); });
Host.echo(JSON.stringify({ exam: viewer.dcmExamDate }));
)js",
                                  {"--print-to", folder, "--timeout", "120"},
                                  {folder, pydicomFile("CT_small.dcm")});
    ASSERT_EQ(result.exitCode, 0) << result.errors.toStdString();
    const QString pdf = folder + "/print-1.pdf";
    // The 800 by 600 control prints across a landscape page.
    EXPECT_TRUE(isLandscape(pdf));
    EXPECT_NEAR(aspectOfPrintedPicture(pdf), 800.0 / 600, 0.1);
    EXPECT_TRUE(
        pdfText(pdf).contains("Date : " + ScriptRun::lastJson(result).value("exam").toString()))
        << pdfText(pdf).toStdString();
}

// The page's answer has been handled once a later page message has: an
// inversion's report follows each print.
const QString Settling = R"js(
var inversions = 0;
viewer.on('InvertStatusChange', function () { ++inversions; });
function settled(action) {
    var before = inversions;
    action();
    viewer.RunJs('PressButton', 'Invert');
    Host.waitFor(function () { return inversions > before; }, 60000);
}
)js";

int redPixels(const QImage& page) {
    int count = 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            const QColor c = page.pixelColor(x, y);
            count += c.red() > 150 && c.green() < 100 && c.blue() < 100;
        }
    return count;
}

// A PDF made of a PostScript job, which poppler reads.
QString postScriptAsPdf(const QString& postScript) {
    const QString pdf = postScript + ".pdf";
    QProcess::execute("ps2pdf", {postScript, pdf});
    return pdf;
}

TEST_F(KestScriptOutputTest, PrintImageThroughARealCupsQueue) {
    PrivateCups cups;
    if (!cups.isRunning())
        GTEST_SKIP() << "no private CUPS scheduler on this platform: "
                     << cups.error().toStdString();
    ASSERT_TRUE(cups.addQueue("KestDefault", true));
    ASSERT_TRUE(cups.addQueue("KestOther", false));
    m_run.host().environment().insert("CUPS_SERVER", cups.server());
    const QString image = writeImage(m_run.path("wide.dcm"), 600, 400);
    const auto result = m_run.run(Viewer + Settling + R"js(
load(Host.arguments[0]);
settled(function () { viewer.PrintImage('No such printer', false); });
settled(function () { viewer.PrintImage('KestOther', true); });
settled(function () { viewer.PrintImage(); });
Host.echo(JSON.stringify({ name: viewer.dcmPatientName, boxes: Host.messageBoxes.length }));
)js",
                                  {"--timeout", "150"}, {image}, 170);
    ASSERT_EQ(result.exitCode, 0) << result.errors.toStdString();
    EXPECT_EQ(ScriptRun::lastJson(result).value("boxes").toInt(), 0) << result.errors.toStdString();
    // An unknown name printed on the current printer, a known one on its own,
    // and the current printer was given back afterwards.
    QStringList queues;
    for (int i = 0; i < 600 && queues.size() < 3; ++i) {
        QThread::msleep(100);
        queues = cups.completedJobQueues();
    }
    EXPECT_EQ(queues, (QStringList{"KestDefault", "KestOther", "KestDefault"}));
    // The header prints in red over the grey picture; the page without it has no red.
    const QImage withHeader = pdfPageImage(postScriptAsPdf(cups.output("KestOther")));
    const QImage withoutHeader = pdfPageImage(postScriptAsPdf(cups.output("KestDefault")));
    EXPECT_GT(redPixels(withHeader), 20);
    EXPECT_EQ(redPixels(withoutHeader), 0);
    EXPECT_FALSE(nonWhiteBounds(withoutHeader).isEmpty()) << "a blank page";
}

TEST_F(KestScriptOutputTest, APageCannotStartAPrintJobByItself) {
    const QString folder = m_run.path("printed");
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QImage(8, 8, QImage::Format_RGB32).save(&buffer, "JPG");
    const QString answer = QString(R"({"fileName":"Print.jpg","base64":"%1"})")
                               .arg(QString::fromLatin1(jpeg.toBase64()));
    const auto result = m_run.run(Viewer + Settling + R"js(
load(Host.arguments[0]);
settled(function () { viewer.RunJs('vbHost.RaiseMessageEvent', 'saveImage', Host.arguments[1]); });
)js",
                                  {"--print-to", folder, "--timeout", "120"},
                                  {pydicomFile("CT_small.dcm"), answer});
    ASSERT_EQ(result.exitCode, 0) << result.errors.toStdString();
    EXPECT_FALSE(QFileInfo::exists(folder + "/print-1.pdf"));
    EXPECT_FALSE(result.errors.contains("print job")) << result.errors.toStdString();
}

// The Temp folder's picture the viewer put on the clipboard.
QString clipboardPicture(const QString& root) {
    QDirIterator it(root, {"ClipBoard.jpg"}, QDir::Files, QDirIterator::Subdirectories);
    return it.hasNext() ? it.next() : QString();
}

TEST_F(KestScriptOutputTest, CopyImageToClipboardHoldsTheImageAsABitmap) {
    const QString copied = m_run.path("clipboard.png");
    const auto result = m_run.run(Viewer + R"js(
load(Host.arguments[0]);
viewer.CopyImageToClipboard();
Host.waitFor(function () { return Host.saveClipboardImage(Host.arguments[1]); }, 60000);
)js",
                                  {"--timeout", "120"}, {pydicomFile("CT_small.dcm"), copied});
    ASSERT_EQ(result.exitCode, 0) << result.errors.toStdString();
    const QImage onClipboard(copied);
    EXPECT_EQ(onClipboard.size(), QSize(128, 128));
    const QImage saved(clipboardPicture(m_run.path("")));
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(onClipboard.convertToFormat(QImage::Format_RGB32),
              saved.convertToFormat(QImage::Format_RGB32));
}

// With the DICOMDIR browser alone (mode 2) there is no page to copy; beside
// the image (mode 1) the visible page is copied.
TEST_F(KestScriptOutputTest, CopyCanvasToClipboardCopiesNothingWhileTheDicomdirFillsTheControl) {
    const QString root = m_run.path("medium");
    QDir().mkpath(root + "/DICOM");
    ASSERT_TRUE(QFile::copy(pydicomFile("CT_small.dcm"), root + "/DICOM/CT1"));
    QProcess dcmmkdir;
    dcmmkdir.setWorkingDirectory(root);
    dcmmkdir.start("dcmmkdir", {"--invent", "DICOM/CT1"});
    ASSERT_TRUE(dcmmkdir.waitForFinished(60000) && dcmmkdir.exitCode() == 0);
    const QString copied = m_run.path("canvas.png");
    const auto result =
        m_run.run(Viewer + R"js(
var loaded = 0;
viewer.on('DicomdirLoaded', function () { ++loaded; });
function copyWithDicomdir(flag) {
    var before = loaded;
    viewer.LoadDICOMDIR(new Ref(Host.arguments[0]), new Ref(flag));
    Host.waitFor(function () { return loaded > before; }, 60000);
    viewer.CopyCanvasToClipboard();
    return Host.saveClipboardImage(Host.arguments[1]);
}
load(Host.arguments[2]);
var alone = copyWithDicomdir(2);
var beside = copyWithDicomdir(1);
Host.echo(JSON.stringify({ alone: alone, beside: beside }));
)js",
                  {"--timeout", "150"}, {root + "/DICOMDIR", copied, pydicomFile("MR_small.dcm")});
    ASSERT_EQ(result.exitCode, 0) << result.errors.toStdString();
    const QJsonObject out = ScriptRun::lastJson(result);
    EXPECT_FALSE(out.value("alone").toBool());
    EXPECT_TRUE(out.value("beside").toBool());
    EXPECT_FALSE(QImage(copied).isNull());
}

TEST_F(KestScriptOutputTest, AnotherProgramPastesTheCopiedImage) {
    for (const char* tool : {"xvfb-run", "xclip"})
        if (QStandardPaths::findExecutable(tool).isEmpty())
            GTEST_SKIP() << tool << " is not installed";
    const QString script = m_run.path("copy.js");
    QFile file(script);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write((Viewer + R"js(
load(Host.arguments[0]);
viewer.CopyImageToClipboard();
Host.waitFor(function () { return Host.saveClipboardImage(Host.arguments[1]); }, 60000);
Host.echo('copied');
// The clipboard is served while this process lives: wait until it was read.
Host.waitFor(function () { return Host.fileExists(Host.arguments[2]); }, 60000);
)js")
                   .toUtf8());
    file.close();
    const QString inProcess = m_run.path("in-process.png");
    const QString pasted = m_run.path("pasted.png");
    const QString done = m_run.path("pasted.done");
    const QString output = m_run.path("kestscript.out");
    // On the X server of xvfb-run: the script copies, xclip reads, the script ends.
    const QString shell =
        QString("QT_QPA_PLATFORM=xcb '%1' --show --timeout 120 '%2' '%3' '%4' '%5' > '%6' & "
                "for i in $(seq 1200); do grep -q copied '%6' && break; sleep 0.1; done; "
                "xclip -selection clipboard -t image/png -o > '%7'; touch '%5'; wait $!")
            .arg(KEST_SCRIPT_PATH, script, pydicomFile("CT_small.dcm"), inProcess, done, output,
                 pasted);
    testing_support::HostProcess& host = m_run.host();
    const auto result = host.run("xvfb-run", {"-a", "sh", "-c", shell}, 150);
    ASSERT_EQ(result.exitCode, 0) << result.errors.toStdString();
    const QImage read(pasted);
    ASSERT_FALSE(read.isNull()) << "xclip read no PNG picture";
    EXPECT_EQ(read.size(), QSize(128, 128));
    EXPECT_EQ(read.convertToFormat(QImage::Format_RGB32),
              QImage(inProcess).convertToFormat(QImage::Format_RGB32));
}

} // namespace
