#include "viewer/PageAssets.h"
#include "platform/automation/AutomationError.h"
#include "tests/common/QtPrinters.h"
#include "tests/common/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class PageAssetsTest : public ::testing::Test {
protected:
    QString write(const QString& name, const QByteArray& bytes) {
        return testing_support::writeTestFile(dir, name, bytes);
    }
    QByteArray read(const QString& name) {
        QFile file(dir.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QTemporaryDir dir;
};

TEST_F(PageAssetsTest, DicomSignatureAtOffset128) {
    QByteArray bytes(132, '\0');
    bytes.replace(128, 4, "DICM");
    EXPECT_TRUE(pageassets::isDicomFile(write("a.dcm", bytes)));
    bytes.replace(128, 4, "dicm");
    EXPECT_FALSE(pageassets::isDicomFile(write("b.dcm", bytes)));
    EXPECT_FALSE(pageassets::isDicomFile(write("c.dcm", QByteArray(131, 'D'))));
    EXPECT_FALSE(pageassets::isDicomFile(dir.path()));
    EXPECT_FALSE(pageassets::isDicomFile(dir.filePath("missing.dcm")));
    EXPECT_FALSE(pageassets::isDicomFile({}));
    EXPECT_TRUE(pageassets::isDicomFile(
        "/usr/lib/python3/dist-packages/pydicom/data/test_files/CT_small.dcm"));
}

TEST_F(PageAssetsTest, PlaceholderPageShowsThreeDots) {
    const QString page = pageassets::placeholderPage();
    EXPECT_TRUE(page.contains("<font color=\"#FFFF00\"  size=\"6\">...</font>"));
    EXPECT_FALSE(page.contains("KestDICOMView ActiveX"));
    EXPECT_TRUE(page.contains("bgcolor=\"#000000\""));
}

TEST_F(PageAssetsTest, CaptionsStopAtTheFirstMissingKey) {
    const QString ini = write("Locale.ini", "[fr]\nlang=Francais\nTool1=Fenetre\nTool2=Zoom\n"
                                            "Tool3=Deplacer\nTool5=Cinq\n");
    const QString text = "#Tool1#|#Tool2#|#Tool3#|#Tool4#|#Tool5#|#Tool1#";
    EXPECT_EQ(pageassets::substituteCaptions(text, "Tool", "fr", ini),
              QStringLiteral("Fenetre|Zoom|Deplacer|#Tool4#|#Tool5#|Fenetre"));
    EXPECT_EQ(pageassets::substituteCaptions(text, "Tool", "de", ini), text);
    EXPECT_EQ(pageassets::substituteCaptions("#Tag1#", "Tag", "fr", ini), QStringLiteral("#Tag1#"));
}

TEST_F(PageAssetsTest, PageFilesAreWrittenOnce) {
    const QString ini = write("Locale.ini", "[en]\nlang=English\nTool1=Level\n");
    const QString templ =
        write("KDVAX_MONO.dll", "<script src=\"###ROOTDIR###/../../Bin/x.js\"></script>#Tool1#");
    const QString page = dir.filePath("inst/KDVAX_MONO.html");
    QDir().mkpath(dir.filePath("inst"));
    pageassets::writePageFile(templ, page, "/tmp/Temp/{ID}", "Tool", "en", ini);
    EXPECT_EQ(read("inst/KDVAX_MONO.html"),
              QByteArray("<script src=\"/tmp/Temp/{ID}/../../Bin/x.js\"></script>Level"));
    // A second load keeps the page as written, whatever the language now is.
    write("Locale.ini", "[en]\nlang=English\nTool1=Changed\n");
    pageassets::writePageFile(templ, page, "/elsewhere", "Tool", "en", ini);
    EXPECT_EQ(read("inst/KDVAX_MONO.html"),
              QByteArray("<script src=\"/tmp/Temp/{ID}/../../Bin/x.js\"></script>Level"));
}

// The policy names the Bin folder and the file list as file URL sources; a folder name's
// quotes, spaces, ";" and "," are percent-encoded and cannot end the source, the directive
// or the attribute. The root folder is escaped for the attribute it fills.
TEST_F(PageAssetsTest, PagesNameTheirScriptFoldersInTheirPolicy) {
    const QString templ = write("KDVAX_TAGS.dll", "<meta content=\"script-src ###SCRIPTSRC###; "
                                                  "x\"><meta content=\"###ROOTDIR###\">");
    const QString root = QStringLiteral("/h/a b\"c;d,e'<f>%g\u00e9/KestDicomAx/Temp/{ID}");
    EXPECT_EQ(pageassets::scriptSources(root, false),
              QStringLiteral("file://*/h/a%20b%22c%3Bd%2Ce%27%3Cf%3E%25g%C3%A9/KestDicomAx/Bin/"));
    EXPECT_EQ(pageassets::scriptSources("/t/Temp/{ID}/", true),
              QStringLiteral("file://*/t/Bin/ file://*/t/Temp/%7BID%7D/liste.js"));
    const QString plain = QStringLiteral("/h/a b\"c;d,e'<f>%g/Temp/{ID}");
    pageassets::writePageFile(templ, dir.filePath("KDVAX_TAGS.html"), plain, {}, "en", {});
    EXPECT_EQ(read("KDVAX_TAGS.html"),
              QStringLiteral("<meta content=\"script-src %1; x\"><meta content=\"/h/a b&quot;c;d,"
                             "e&#39;&lt;f&gt;%g/Temp/{ID}\">")
                  .arg(pageassets::scriptSources(plain, true))
                  .toUtf8());
}

TEST_F(PageAssetsTest, FileListNamesTheWorkingCopy) {
    EXPECT_EQ(pageassets::fileListScript("a.dcm"),
              QStringLiteral("window.dicomFileList = [\r\n\"a.dcm\"\r\n];\r\n"));
    // A file name cannot end the string and run as script.
    EXPECT_EQ(pageassets::fileListScript(R"(x"];alert(1);//\.dcm)"),
              QStringLiteral("window.dicomFileList = [\r\n") + R"("x\"];alert(1);//\\.dcm")" +
                  QStringLiteral("\r\n];\r\n"));
    EXPECT_EQ(pageassets::fileListScript(QStringLiteral("a\nb") + QChar(0x2028)),
              QStringLiteral("window.dicomFileList = [\r\n") + R"("a\nb\u2028")" +
                  QStringLiteral("\r\n];\r\n"));
}

TEST_F(PageAssetsTest, EncapsulatedPdfIsCutAtTheFirstEof) {
    QDir().mkpath(dir.filePath("inst"));
    const QByteArray binary("\x00\x01\xFF\xFE", 4);
    const QString file = write("doc.dcm", "DICOM header " + binary + "%PDF-1.4\nbody " + binary +
                                              "\n%%EOF\nsecond revision %%EOF\n");
    const QString pdf = pageassets::extractPdf(file, dir.filePath("inst"));
    EXPECT_EQ(pdf, dir.filePath("inst") + "/PDF.pdf");
    EXPECT_EQ(read("inst/PDF.pdf"), "%PDF-1.4\nbody " + binary + "\n%%EOF\n"); // byte-exact

    EXPECT_EQ(pageassets::extractPdf(write("noeof.dcm", "x %PDF-1.4 body"), dir.filePath("inst")),
              QString());
    EXPECT_EQ(pageassets::extractPdf(write("none.dcm", "plain"), dir.filePath("inst")), QString());
    EXPECT_EQ(pageassets::extractPdf(write("end.dcm", "%PDF%EOF"), dir.filePath("inst")),
              dir.filePath("inst") + "/PDF.pdf");
    EXPECT_EQ(read("inst/PDF.pdf"), QByteArray("%PDF%EOF"));
    // Markers right after a lone '%', a cut marker at the very end, and the
    // end of file reached by a marker's first byte.
    EXPECT_EQ(pageassets::extractPdf(write("near.dcm", "%P%%PDF x%EO%EOF"), dir.filePath("inst")),
              dir.filePath("inst") + "/PDF.pdf");
    EXPECT_EQ(read("inst/PDF.pdf"), QByteArray("%PDF x%EO%EOF"));
    EXPECT_EQ(pageassets::extractPdf(write("cut.dcm", "%PDF body %EO"), dir.filePath("inst")),
              QString());
    EXPECT_EQ(pageassets::extractPdf(write("tail.dcm", "body %PD"), dir.filePath("inst")),
              QString());
    EXPECT_EQ(pageassets::extractPdf(write("last.dcm", "body %"), dir.filePath("inst")), QString());
}

TEST_F(PageAssetsTest, LibrariesAreDeployedOnceUnlessForced) {
    for (const QString& name : pageassets::libraryNames() + pageassets::pageScriptNames())
        write("assets/" + name, "new " + name.toUtf8());
    write("bin/cornerstone.js", "old");
    pageassets::deployLibraries(dir.filePath("assets"), dir.filePath("bin"), false);
    EXPECT_EQ(read("bin/cornerstone.js"), QByteArray("old"));
    EXPECT_EQ(read("bin/hammer.js"), QByteArray("new hammer.js"));
    write("bin/AboutBlack.html", "x");
    pageassets::deployLibraries(dir.filePath("assets"), dir.filePath("bin"), true);
    EXPECT_EQ(read("bin/cornerstone.js"), QByteArray("new cornerstone.js"));
    EXPECT_FALSE(QFile::exists(dir.filePath("bin/AboutBlack.html")));

    QFile::remove(dir.filePath("assets/dicomParser.js"));
    QFile::remove(dir.filePath("bin/dicomParser.js"));
    EXPECT_THROW(pageassets::deployLibraries(dir.filePath("assets"), dir.filePath("bin"), false),
                 AutomationError);
}

TEST_F(PageAssetsTest, PageScriptsFollowTheAssetFolder) {
    for (const QString& name : pageassets::libraryNames() + pageassets::pageScriptNames())
        write("assets/" + name, "new");
    for (const QString& name : pageassets::pageScriptNames())
        write("bin/" + name, "older script");
    pageassets::deployLibraries(dir.filePath("assets"), dir.filePath("bin"), false);
    for (const QString& name : pageassets::pageScriptNames())
        EXPECT_EQ(read("bin/" + name), QByteArray("new")) << name.toStdString();

    QFile::remove(dir.filePath("assets/imageScripts.js"));
    EXPECT_THROW(pageassets::deployLibraries(dir.filePath("assets"), dir.filePath("bin"), false),
                 AutomationError);
}

} // namespace
