// Browsing a study folder and a DICOMDIR through the real kestscript, the
// viewer from the registration store and its real pages.

#include "ScriptRun.h"

#include "tests/common/DicomFiles.h"
#include "tests/common/QtPrinters.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

using testing_support::pydicomFile;

const QString CreateViewer =
    "var viewer = Host.createControl('KestDicomViewControl.KestDicomViewAX', 1000, 700);\n"
    "var events = [];\n"
    "['ImageLoaded', 'BeforeLoading', 'DicomListImageSelected', 'DicomdirLoaded',\n"
    " 'DicomdirImageSelected'].forEach(function (name) {\n"
    "    viewer.on(name, function (args) { events.push({ name: name, args: args }); });\n"
    "});\n"
    "function named(name) { return events.filter(function (e) { return e.name === name; }); }\n"
    "function waitForEvent(name, count) {\n"
    "    Host.waitFor(function () { return named(name).length >= (count || 1); }, 60000);\n"
    "    return named(name)[named(name).length - 1].args;\n"
    "}\n";

// What dcmdump reads of a DICOMDIR: its patients and the records that
// reference a file, in the order of the record sequence.
struct DirectoryCounts {
    int patients = 0;
    QStringList referencedFiles;
};

DirectoryCounts countRecords(const QString& dicomdir) {
    DirectoryCounts counts;
    for (const auto& element : testing_support::dcmdump(dicomdir)) {
        if (element.tag == "0004,1430" && element.value == "PATIENT")
            ++counts.patients;
        if (element.tag == "0004,1500")
            counts.referencedFiles.append(element.value);
    }
    return counts;
}

// A medium made by dcmmkdir over copies of the Debian pydicom files: three
// patients, two images and a structured report.
QString makeMedium(const QString& root) {
    const QList<std::pair<QString, QString>> files = {{"CT_small.dcm", "DICOM/A/CT1"},
                                                      {"MR_small.dcm", "DICOM/A/MR1"},
                                                      {"test-SR.dcm", "DICOM/B/SR1"}};
    for (const auto& [source, target] : files) {
        QDir().mkpath(QFileInfo(root + '/' + target).absolutePath());
        QFile::copy(pydicomFile(source), root + '/' + target);
    }
    QProcess dcmmkdir;
    dcmmkdir.setWorkingDirectory(root);
    dcmmkdir.start("dcmmkdir", {"--invent", "--recurse", "DICOM"});
    dcmmkdir.waitForFinished(60000);
    return root + "/DICOMDIR";
}

// Renames every file and folder below root to lower case, deepest first.
void lowerCaseNames(const QString& root) {
    QStringList paths;
    for (QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
         it.hasNext();)
        paths.append(it.next());
    std::sort(paths.begin(), paths.end(),
              [](const QString& a, const QString& b) { return a.count('/') > b.count('/'); });
    for (const QString& path : paths) {
        const QFileInfo info(path);
        QDir(info.path()).rename(info.fileName(), info.fileName().toLower());
    }
}

const QString LoadMedium = R"js(
function loadDicomdir(path, flag) {
    var p = new Ref(path), f = new Ref(flag);
    var ok = viewer.LoadDICOMDIR(p, f);
    return { ok: ok, path: p.value, flag: f.value };
}
)js";

class KestScriptBrowsingTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_run.registerLibrary(KEST_CONTROL_PATH)) << m_run.error().toStdString();
    }

    QString folder(const QString& name) {
        const QString path = m_run.path(name);
        QDir().mkpath(path);
        return path;
    }

    static void copy(const QString& from, const QString& to) {
        QDir().mkpath(QFileInfo(to).absolutePath());
        ASSERT_TRUE(QFile::copy(from, to)) << to.toStdString();
    }

    static void write(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QJsonObject runScript(const QString& body, const QStringList& arguments) {
        const auto result = m_run.run(CreateViewer + body, {"--timeout", "150"}, arguments, 170);
        EXPECT_EQ(result.exitCode, 0) << result.errors.toStdString();
        return ScriptRun::lastJson(result);
    }

    ScriptRun m_run;
};

TEST_F(KestScriptBrowsingTest, AFolderListsItsDicomFilesAndShowsTheOnePicked) {
    const QString study = folder("study");
    copy(pydicomFile("CT_small.dcm"), study + "/IM10");
    copy(pydicomFile("MR_small.dcm"), study + "/im2");
    copy(pydicomFile("CT_small.dcm"), study + "/IM1.dcm");
    copy(pydicomFile("CT_small.dcm"), study + "/.hidden.dcm");
    write(study + "/notes.txt", "not an image");
    write(study + "/README", QByteArray(200, 'x'));
    QDir().mkpath(study + "/series2");
    copy(pydicomFile("CT_small.dcm"), study + "/series2/IM3");

    const QJsonObject out = runScript(R"js(
Host.answerFileDialog(Host.arguments[0]);
var path = new Ref(""), flag = new Ref(0);
var listed = viewer.LoadDirectory(path, flag);
var list = Host.widget("ListFile"), label = Host.widget("lblList");
// The list has the focus on its first item: Down picks the second, Up the first again.
Host.pressKeys("Down");
var picked = waitForEvent("DicomListImageSelected");
var loaded = waitForEvent("ImageLoaded");
Host.pressKeys("Up");
var again = waitForEvent("DicomListImageSelected", 2);
var reloaded = waitForEvent("ImageLoaded", 2);
Host.echo(JSON.stringify({ listed: listed, path: path.value, flag: flag.value, items: list.items,
    listVisible: list.visible, listFocused: list.hasFocus, label: label.text,
    picked: picked.ImagePathName, loaded: loaded.FileName, modality: loaded.Modality,
    again: again.ImagePathName, reloaded: reloaded.Modality, viewerFile: viewer.dcmFile,
    beforeLoading: named("BeforeLoading").length, dialog: Host.fileDialogs[0] }));
)js",
                                      {study});
    EXPECT_TRUE(out["listed"].toBool());
    EXPECT_EQ(out["path"].toString(), study + "/");
    EXPECT_EQ(out["flag"].toInt(), 1);
    EXPECT_EQ(out["items"].toArray(), QJsonArray({" ----- IM1.dcm", " ----- im2", " ----- IM10"}));
    EXPECT_TRUE(out["listVisible"].toBool());
    EXPECT_EQ(out["label"].toString(), "3 DICOM Files");
    EXPECT_EQ(out["picked"].toString(), study + "/im2");
    EXPECT_EQ(out["modality"].toString(), "MR");
    EXPECT_EQ(out["again"].toString(), study + "/IM1.dcm");
    EXPECT_EQ(out["reloaded"].toString(), "CT");
    EXPECT_EQ(out["viewerFile"].toString(), "IM1.dcm");
    EXPECT_TRUE(out["listFocused"].toBool());
    EXPECT_EQ(out["dialog"].toObject()["kind"].toString(), "folder");
    EXPECT_TRUE(out["dialog"].toObject()["initialFolder"].toString().isEmpty());
    // The folder is remembered for the next run of a host.
    QFile config(m_run.path("local/Tarnwell/KestDicomAx/Data/Config.ini"));
    ASSERT_TRUE(config.open(QIODevice::ReadOnly));
    EXPECT_TRUE(config.readAll().contains("DicomListPath=" + study.toUtf8() + "/"));
}

TEST_F(KestScriptBrowsingTest, FolderDialogAnswersAndEdgeCases) {
    const QString images = folder("images");
    copy(pydicomFile("CT_small.dcm"), images + "/CT1");
    const QString documents = folder("documents");
    write(documents + "/letter.txt", "no images here");

    const QJsonObject out = runScript(R"js(
function list(path, flag) {
    var p = new Ref(path), f = new Ref(flag);
    var ok = viewer.LoadDirectory(p, f);
    return { ok: ok, path: p.value, flag: f.value, label: Host.widget("lblList").text,
             visible: Host.widget("ListFile").visible, items: Host.widget("ListFile").items };
}
Host.answerFileDialog(Host.arguments[0]);
var first = list(Host.arguments[0], 5);      // an existing folder still asks, starting there
Host.answerFileDialog(null);
var cancelled = list(Host.arguments[0], 1);   // cancel empties the path
Host.answerFileDialog(Host.arguments[1]);
var empty = list("/no/such/folder", -3);      // a missing folder starts at the last one listed
Host.echo(JSON.stringify({ first: first, cancelled: cancelled, empty: empty,
                           dialogs: Host.fileDialogs }));
)js",
                                      {images, documents});
    const QJsonObject first = out["first"].toObject();
    EXPECT_TRUE(first["ok"].toBool());
    EXPECT_EQ(first["path"].toString(), images + "/");
    EXPECT_EQ(first["flag"].toInt(), 5);
    EXPECT_EQ(first["label"].toString(), "1 DICOM Files");
    const QJsonObject cancelled = out["cancelled"].toObject();
    EXPECT_FALSE(cancelled["ok"].toBool());
    EXPECT_EQ(cancelled["path"].toString(), "");
    const QJsonObject empty = out["empty"].toObject();
    EXPECT_TRUE(empty["ok"].toBool());
    EXPECT_EQ(empty["flag"].toInt(), 1);
    EXPECT_EQ(empty["label"].toString(), "No DICOM File...");
    EXPECT_FALSE(empty["visible"].toBool());
    EXPECT_TRUE(empty["items"].toArray().isEmpty());
    const QJsonArray dialogs = out["dialogs"].toArray();
    ASSERT_EQ(dialogs.size(), 3);
    EXPECT_EQ(dialogs[0].toObject()["initialFolder"].toString(), images);
    EXPECT_EQ(dialogs[1].toObject()["initialFolder"].toString(), images);
    EXPECT_EQ(dialogs[2].toObject()["initialFolder"].toString(), images + "/");
}

TEST_F(KestScriptBrowsingTest, ADicomdirReportsItsCountsAndShowsTheSelectedFile) {
    const QString dicomdir = makeMedium(folder("medium"));
    const DirectoryCounts counts = countRecords(dicomdir);
    ASSERT_EQ(counts.patients, 3);
    ASSERT_EQ(counts.referencedFiles.size(), 3);

    // End goes to the tree's last row, the last file of the last patient; Enter selects it.
    const QJsonObject out = runScript(LoadMedium + R"js(
var opened = loadDicomdir(Host.arguments[0], 0);
var loaded = waitForEvent("DicomdirLoaded");
Host.pressKeys("End", "Return");
var selected = waitForEvent("DicomdirImageSelected");
var shown = waitForEvent("ImageLoaded");
Host.echo(JSON.stringify({ opened: opened, patients: loaded.TotalPatients,
    images: loaded.TotalImages, path: selected.ImagePathName, type: selected.FileType,
    shown: shown.FileName, dialogs: Host.fileDialogs.length }));
)js",
                                      {dicomdir});
    const QJsonObject opened = out["opened"].toObject();
    EXPECT_TRUE(opened["ok"].toBool());
    EXPECT_EQ(opened["flag"].toInt(), 1);
    EXPECT_EQ(opened["path"].toString(), dicomdir);
    EXPECT_EQ(out["dialogs"].toInt(), 0) << "a file path opens without a dialog";
    EXPECT_EQ(out["patients"].toInt(), counts.patients);
    EXPECT_EQ(out["images"].toInt(), counts.referencedFiles.size());
    const QString last = QString(counts.referencedFiles.last()).replace('\\', '/');
    EXPECT_EQ(out["path"].toString(), QFileInfo(dicomdir).path() + '/' + last);
    EXPECT_EQ(out["shown"].toString(), QFileInfo(last).fileName());
    EXPECT_FALSE(out["type"].toString().isEmpty());
}

TEST_F(KestScriptBrowsingTest, TheBrowserAloneShowsNothingSelected) {
    const QString dicomdir = makeMedium(folder("medium"));
    const QJsonObject out = runScript(LoadMedium + R"js(
var opened = loadDicomdir(Host.arguments[0], 2);
waitForEvent("DicomdirLoaded");
Host.pressKeys("End", "Return");
var selected = waitForEvent("DicomdirImageSelected");
Host.sleep(3000);
Host.echo(JSON.stringify({ opened: opened.ok, flag: opened.flag, path: selected.ImagePathName,
    loads: named("ImageLoaded").length, file: viewer.dcmFile }));
)js",
                                      {dicomdir});
    EXPECT_TRUE(out["opened"].toBool());
    EXPECT_EQ(out["flag"].toInt(), 2);
    EXPECT_TRUE(out["path"].toString().startsWith(QFileInfo(dicomdir).path()));
    EXPECT_EQ(out["loads"].toInt(), 0);
    EXPECT_EQ(out["file"].toString(), "");
}

// pydicom's own media, and a copy whose names were all lower-cased on disk.
TEST_F(KestScriptBrowsingTest, PydicomMediaAndLowerCaseCopiesOpen) {
    const QString source = pydicomFile("dicomdirtests");
    const QString original = folder("pydicom");
    const QString lower = folder("lower");
    ASSERT_EQ(QProcess::execute("cp", {"-r", source + "/.", original}), 0);
    ASSERT_EQ(QProcess::execute("cp", {"-r", source + "/.", lower}), 0);
    lowerCaseNames(lower);
    ASSERT_TRUE(QFileInfo::exists(lower + "/dicomdir"));
    const DirectoryCounts counts = countRecords(original + "/DICOMDIR");

    const QJsonObject out = runScript(LoadMedium + R"js(
var results = [];
Host.arguments.forEach(function (path, index) {
    var opened = loadDicomdir(path, 1);
    var loaded = waitForEvent("DicomdirLoaded", index + 1);
    Host.pressKeys("End", "Return");
    var selected = waitForEvent("DicomdirImageSelected", index + 1);
    var shown = waitForEvent("ImageLoaded", index + 1);
    results.push({ ok: opened.ok, patients: loaded.TotalPatients, images: loaded.TotalImages,
                   path: selected.ImagePathName, shown: shown.FileName,
                   exists: Host.fileExists(selected.ImagePathName) });
});
Host.echo(JSON.stringify({ results: results }));
)js",
                                      {original + "/DICOMDIR", lower + "/dicomdir"});
    const QJsonArray results = out["results"].toArray();
    ASSERT_EQ(results.size(), 2);
    for (const auto& value : results) {
        const QJsonObject result = value.toObject();
        SCOPED_TRACE(result["path"].toString().toStdString());
        EXPECT_TRUE(result["ok"].toBool());
        EXPECT_EQ(result["patients"].toInt(), counts.patients);
        EXPECT_EQ(result["images"].toInt(), counts.referencedFiles.size());
        EXPECT_TRUE(result["exists"].toBool());
        EXPECT_EQ(result["shown"].toString(), QFileInfo(result["path"].toString()).fileName());
    }
    EXPECT_TRUE(results[1].toObject()["path"].toString().startsWith(lower + '/'));
}

TEST_F(KestScriptBrowsingTest, DicomdirNamesAndDialogs) {
    const QString medium = folder("medium");
    const QString dicomdir = makeMedium(medium);
    const QString backup = medium + "/DICOMDIR.BAK";
    ASSERT_TRUE(QFile::copy(dicomdir, backup));
    const QJsonObject out = runScript(LoadMedium + R"js(
var backup = loadDicomdir(Host.arguments[1], 1);       // not named DICOMDIR: refused, no dialog
var dialogsAfterBackup = Host.fileDialogs.length;
Host.answerFileDialog(null);
var cancelled = loadDicomdir(Host.arguments[0], 1);    // a folder asks, starting there
Host.answerFileDialog(Host.arguments[2]);
var chosen = loadDicomdir("", 3);                      // nothing given asks too
waitForEvent("DicomdirLoaded");
Host.echo(JSON.stringify({ backup: backup, dialogsAfterBackup: dialogsAfterBackup,
    cancelled: cancelled, chosen: chosen, dialogs: Host.fileDialogs,
    before: named("BeforeLoading").length }));
)js",
                                      {medium, backup, dicomdir});
    EXPECT_FALSE(out["backup"].toObject()["ok"].toBool());
    EXPECT_EQ(out["dialogsAfterBackup"].toInt(), 0);
    const QJsonObject cancelled = out["cancelled"].toObject();
    EXPECT_FALSE(cancelled["ok"].toBool());
    EXPECT_EQ(cancelled["path"].toString(), "");
    const QJsonObject chosen = out["chosen"].toObject();
    EXPECT_TRUE(chosen["ok"].toBool());
    EXPECT_EQ(chosen["path"].toString(), dicomdir);
    EXPECT_EQ(chosen["flag"].toInt(), 3);
    const QJsonArray dialogs = out["dialogs"].toArray();
    ASSERT_EQ(dialogs.size(), 2);
    const QJsonObject first = dialogs[0].toObject();
    EXPECT_EQ(first["kind"].toString(), "open");
    EXPECT_EQ(first["initialFolder"].toString(), medium);
    EXPECT_EQ(first["fileName"].toString(), "DICOMDIR");
    EXPECT_EQ(first["filters"].toArray(), QJsonArray({"All Files (*)"}));
    EXPECT_EQ(out["before"].toInt(), 1) << "only the load that went ahead announced itself";
}

} // namespace
