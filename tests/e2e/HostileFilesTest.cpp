#include "RenderRun.h"

#include "tests/common/DicomFiles.h"
#include "tests/common/QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTcpServer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using testing_support::DicomBuilder;
using testing_support::pydicomFile;

TEST(HostileFiles, FilesThatAreNotDicomAreRefused) {
    RenderRun run;
    QFile text(run.output("notes.dcm"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write(QByteArray(300, 'x'));
    text.close();
    EXPECT_FALSE(run.run(run.output("notes.dcm")));
    EXPECT_EQ(run.exitCode(), 1);
    EXPECT_TRUE(run.errors().contains("refused")) << run.errors().toStdString();
    EXPECT_EQ(run.count("BeforeLoading"), 0);

    EXPECT_FALSE(run.run(QDir::tempPath()));
    EXPECT_EQ(run.exitCode(), 1);
    EXPECT_FALSE(run.run(run.output("missing.dcm")));
    EXPECT_EQ(run.exitCode(), 1);
}

TEST(HostileFiles, TruncatedFileIsReportedWithoutAnImage) {
    RenderRun run;
    ASSERT_TRUE(run.run(pydicomFile("MR_truncated.dcm"))) << run.errors().toStdString();
    EXPECT_TRUE(run.last("ImageLoaded").value("NoImage").toBool());
}

// An installation whose asset folder lacks the browser runtime: the browser
// hosts cannot start, and the load ends with False instead of waiting forever.
TEST(HostileFiles, LoadEndsWhenTheBrowserCannotStart) {
    QTemporaryDir install;
    const QString assets = QFileInfo(KEST_CONTROL_PATH).absolutePath() + "/KestDicomAx";
    QDir().mkpath(install.filePath("KestDicomAx"));
    for (const QString& name : QDir(assets).entryList(QDir::Files)) {
        if (name != "libWebView2Loader.so")
            QFile::copy(assets + '/' + name, install.filePath("KestDicomAx/" + name));
    }
    const QString library = install.filePath("libKestDicomViewControl.so");
    ASSERT_TRUE(QFile::copy(KEST_CONTROL_PATH, library));
    RenderRun run(library);
    EXPECT_FALSE(run.run(pydicomFile("CT_small.dcm"), {}, 90));
    EXPECT_EQ(run.exitCode(), 1);
    EXPECT_TRUE(run.errors().contains("refused")) << run.errors().toStdString();
    EXPECT_EQ(run.count("ImageLoaded"), 0);
}

int greyRamp(int x, int y) {
    return (x * 7 + y * 3) % 256;
}

TEST(HostileFiles, MarkupInValuesIsTextAndRequestsNothing) {
    QTcpServer listener;
    ASSERT_TRUE(listener.listen(QHostAddress::LocalHost));
    const QByteArray target =
        "http://127.0.0.1:" + QByteArray::number(listener.serverPort()) + "/leak";
    const QByteArray name =
        "<img src=x onerror=\"fetch('" + target + "')\"><script>fetch('" + target + "')</script>";
    RenderRun run;
    const QString path = run.output("payload.dcm");
    ASSERT_TRUE(
        DicomBuilder()
            .add(0x0008, 0x0060, "CS", "OT")
            .add(0x0010, 0x0010, "PN", name)
            .add(0x0010, 0x0020, "LO", "<iframe src=\"javascript:fetch('" + target + "')\">")
            .add(0x0008, 0x1030, "LO", "<a href=\"javascript:fetch('" + target + "')\">x</a>")
            .addGreyImage(64, 48, greyRamp)
            .write(path));
    ASSERT_TRUE(run.run(path, {"--tags", "--canvas", "tags.png"})) << run.errors().toStdString();
    // The page's JSON escapes the quote, which ends the value as the viewer reads it.
    EXPECT_EQ(run.last("ImageLoaded").value("Nom").toString(),
              QStringLiteral("<img src=x onerror=\\"));
    EXPECT_FALSE(listener.waitForNewConnection(500)) << "a page made a request";
    EXPECT_FALSE(listener.hasPendingConnections());
}

} // namespace
