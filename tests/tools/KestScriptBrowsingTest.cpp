// Browsing a study folder and a DICOMDIR through the real kestscript, the
// viewer from the registration store and its real pages.

#include "ScriptRun.h"

#include "tests/common/DicomFiles.h"
#include "tests/common/QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>

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

} // namespace
