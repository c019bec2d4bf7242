// Series opened as stacks through the real kestscript, the viewer from the
// registration store and its real pages: the order, every way to step, the
// events, a DICOMDIR series, a multi-frame file, the cine and odd series.

#include "ScriptRun.h"

#include "tests/common/QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

const QString CreateViewer = R"js(
var viewer = Host.createControl('KestDicomViewControl.KestDicomViewAX', 800, 600);
var events = [];
['ImageLoaded', 'BeforeLoading', 'StackImageChanged', 'ZoomChanged', 'DicomdirLoaded',
 'DicomdirImageSelected', 'InvertStatusChange', 'DicomListImageSelected'].forEach(function (name) {
    viewer.on(name, function (args) { events.push({ name: name, args: args }); });
});
function named(name) { return events.filter(function (e) { return e.name === name; }); }
function waitForEvent(name, count) {
    Host.waitFor(function () { return named(name).length >= (count || 1); }, 60000);
    return named(name)[named(name).length - 1].args;
}
// The stack's next image after what has been seen so far: waits until the
// latest StackImageChanged shows the index.
function shown(index) {
    Host.waitFor(function () {
        var all = named('StackImageChanged');
        return all.length && all[all.length - 1].args.Index === index;
    }, 30000);
    return named('StackImageChanged')[named('StackImageChanged').length - 1].args;
}
function step(index) { viewer.StackIndex = index; return shown(index); }
function base(path) { return path.substring(path.lastIndexOf('/') + 1); }
)js";

struct Series {
    QString folder;
    QStringList order; // names from the head down: the order the stack must show
    QStringList others;
};

class KestScriptStackTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_run.registerLibrary(KEST_CONTROL_PATH)) << m_run.error().toStdString();
    }

    // An axial series made by pydicom under shuffled names, with instance
    // numbers running against the geometry, a localizer and a wider image.
    Series makeSeries(const QString& name, int slices, const QStringList& options = {}) {
        Series series;
        series.folder = m_run.path(name);
        QProcess python;
        python.start(QStringLiteral("/usr/bin/python3"),
                     QStringList{KEST_SOURCE_DIR_PATH "/tests/tools/data/make_stack_series.py",
                                 series.folder, QString::number(slices)} +
                         options);
        python.waitForFinished(60000);
        const QJsonObject made = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
        for (const QJsonValue& file : made["order"].toArray())
            series.order.append(file.toString());
        for (const QJsonValue& file : made["others"].toArray())
            series.others.append(file.toString());
        EXPECT_EQ(series.order.size(), slices) << python.readAllStandardError().toStdString();
        return series;
    }

    QJsonObject runScript(const QString& body, const QStringList& arguments) {
        const auto result = m_run.run(CreateViewer + body, {"--timeout", "200"}, arguments, 220);
        EXPECT_EQ(result.exitCode, 0) << result.errors.toStdString();
        return ScriptRun::lastJson(result);
    }

    static QStringList strings(const QJsonValue& value) {
        QStringList list;
        for (const QJsonValue& item : value.toArray())
            list.append(item.toString());
        return list;
    }

    ScriptRun m_run;
};

TEST_F(KestScriptStackTest, AFolderSeriesOpensInGeometryOrderAndStepsByEveryInput) {
    const Series series = makeSeries("series", 12);
    const QJsonObject out = runScript(R"js(
var folder = Host.arguments[0];
viewer.StackMode = true;
var loadedOk = viewer.LoadDicomFile(folder + '/' + Host.arguments[1]);
var loaded = waitForEvent('ImageLoaded');
var opened = { count: viewer.StackCount, index: viewer.StackIndex, file: viewer.dcmFileName };
// Every image in turn, by StackIndex.
var order = [];
for (var i = 0; i < viewer.StackCount; i++) {
    var args = i === opened.index ? null : step(i);
    order.push(args ? base(args.FileName) : Host.arguments[1]);
}
var last = { file: viewer.dcmFileName, index: viewer.StackIndex };
// The page's Previous and Next, as SelectTool 100 and 101: Next stops at the end.
var buttons = [];
viewer.SelectTool(100); buttons.push(shown(10).Index);
viewer.SelectTool(101); buttons.push(shown(11).Index);
viewer.SelectTool(101); viewer.SelectTool(100); buttons.push(shown(10).Index);
// The wheel: two notches down from 3, then three notches in one event (as a
// busy page gets them), then Ctrl+wheel zooms without a step.
step(3);
Host.turnWheel(2);
var wheeled = shown(5).Index;
Host.turnWheel(-3, false, true);
var together = shown(2).Index;
step(5);
var zooms = named('ZoomChanged').length;
Host.turnWheel(-1, true);
waitForEvent('ZoomChanged', zooms + 1);
viewer.SelectTool(101);
var afterZoom = shown(6).Index;
var stepsSinceZoom = named('StackImageChanged').length;
// The keys, once the image has the focus.
Host.click();
Host.pressKeys('Down'); var keys = [shown(7).Index];
Host.pressKeys('PageUp'); keys.push(shown(0).Index);
Host.pressKeys('End'); keys.push(shown(11).Index);
Host.pressKeys('PageUp'); keys.push(shown(1).Index);
Host.pressKeys('Home'); keys.push(shown(0).Index);
// Showing a file of the stack by LoadDicomFile is a step, not a load.
var loadsBefore = named('BeforeLoading').length;
var steppedByLoad = viewer.LoadDicomFile(folder + '/' + Host.arguments[2]);
var byLoad = shown(4);
Host.echo(JSON.stringify({ loadedOk: loadedOk, loaded: loaded, opened: opened, order: order,
    last: last, buttons: buttons, wheeled: wheeled, together: together, afterZoom: afterZoom,
    zoomSteps: named('StackImageChanged').length - stepsSinceZoom, keys: keys,
    steppedByLoad: steppedByLoad, byLoad: byLoad, loads: named('BeforeLoading').length - loadsBefore,
    imageLoaded: named('ImageLoaded').length, zoom: viewer.dcmZoomFactor,
    events: named('StackImageChanged').map(function (e) { return e.args.Index; }) }));
)js",
                                      {series.folder, series.order[5], series.order[4]});
    EXPECT_TRUE(out["loadedOk"].toBool());
    EXPECT_EQ(out["loaded"].toObject()["FileName"].toString(), series.order[5]);
    const QJsonObject opened = out["opened"].toObject();
    EXPECT_EQ(opened["count"].toInt(), 12) << "the localizer and the wider image are left out";
    EXPECT_EQ(opened["index"].toInt(), 5);
    EXPECT_EQ(opened["file"].toString(), series.order[5]);
    EXPECT_EQ(strings(out["order"]), series.order);
    EXPECT_EQ(out["last"].toObject()["file"].toString(), series.order[11]);
    EXPECT_EQ(out["buttons"].toArray(), QJsonArray({10, 11, 10}));
    EXPECT_EQ(out["wheeled"].toInt(), 5);
    EXPECT_EQ(out["together"].toInt(), 2) << "three notches in one event are three steps";
    EXPECT_EQ(out["afterZoom"].toInt(), 6) << "Ctrl+wheel zooms and does not step";
    EXPECT_EQ(out["keys"].toArray(), QJsonArray({7, 0, 11, 1, 0}));
    EXPECT_TRUE(out["steppedByLoad"].toBool());
    EXPECT_EQ(out["byLoad"].toObject()["Index"].toInt(), 4);
    EXPECT_EQ(out["byLoad"].toObject()["Count"].toInt(), 12);
    EXPECT_EQ(out["byLoad"].toObject()["FileName"].toString(),
              series.folder + '/' + series.order[4]);
    EXPECT_EQ(out["loads"].toInt(), 0);
    EXPECT_EQ(out["imageLoaded"].toInt(), 1) << "ImageLoaded is raised once for the stack";
    // Every event names an image of the stack, and none is raised twice in a
    // row for one image.
    const QJsonArray events = out["events"].toArray();
    for (qsizetype i = 1; i < events.size(); ++i)
        EXPECT_NE(events[i].toInt(), events[i - 1].toInt()) << i;
}

TEST_F(KestScriptStackTest, TheFolderListFollowsTheStackWithoutSelectionEvents) {
    const Series series = makeSeries("listed", 6);
    const QJsonObject out = runScript(R"js(
viewer.StackMode = true;
Host.answerFileDialog(Host.arguments[0]);
viewer.LoadDirectory(new Ref(''), new Ref(0));
var list = function () { return Host.widget('ListFile'); };
// The list has the focus on its first file: Down picks the second.
Host.pressKeys('Down');
waitForEvent('ImageLoaded');
var picked = base(waitForEvent('DicomListImageSelected').ImagePathName);
var items = list().items.map(function (item) { return item.replace(' ----- ', ''); });
var followed = [];
[0, 3, 5].forEach(function (index) {
    var shownFile = base(step(index).FileName);
    followed.push(items[list().current] === shownFile);
});
var selections = named('DicomListImageSelected').length;
// A person's pick of another file of the stack is a step, and a selection.
Host.pressKeys('Up');
var second = base(waitForEvent('DicomListImageSelected', 2).ImagePathName);
Host.waitFor(function () {
    var all = named('StackImageChanged');
    return base(all[all.length - 1].args.FileName) === second;
}, 30000);
Host.echo(JSON.stringify({ picked: picked, followed: followed, selections: selections,
    loads: named('ImageLoaded').length }));
)js",
                                      {series.folder});
    EXPECT_EQ(out["followed"].toArray(), QJsonArray({true, true, true}));
    EXPECT_EQ(out["selections"].toInt(), 1);
    EXPECT_EQ(out["loads"].toInt(), 1) << "the second pick is a step, shown in place";
}

TEST_F(KestScriptStackTest, ADicomdirSeriesIsAStackAndItsTreeFollowsWithoutSelectionEvents) {
    const Series series = makeSeries("made", 8);
    // dcmmkdir takes DICOM file IDs: the slices are copied under short names,
    // in shuffled order, with the localizer.
    const QString medium = m_run.path("medium");
    QDir().mkpath(medium + "/DICOM/ST1");
    QStringList ids;
    for (qsizetype i = 0; i < series.order.size(); ++i) {
        const QString id = QStringLiteral("IM%1").arg((i * 5) % 8 + 10);
        ids.append(id);
        ASSERT_TRUE(
            QFile::copy(series.folder + '/' + series.order[i], medium + "/DICOM/ST1/" + id));
    }
    ASSERT_TRUE(QFile::copy(series.folder + "/scout.dcm", medium + "/DICOM/ST1/SCOUT"));
    QProcess dcmmkdir;
    dcmmkdir.setWorkingDirectory(medium);
    dcmmkdir.start("dcmmkdir", {"--invent", "--recurse", "DICOM"});
    ASSERT_TRUE(dcmmkdir.waitForFinished(60000));
    ASSERT_EQ(dcmmkdir.exitCode(), 0) << dcmmkdir.readAllStandardError().toStdString();

    const QJsonObject out = runScript(R"js(
viewer.StackMode = true;
var path = new Ref(Host.arguments[0]), flag = new Ref(1);
viewer.LoadDICOMDIR(path, flag);
waitForEvent('DicomdirLoaded');
// The tree's last row is the series' highest instance number: the top slice.
Host.pressKeys('End', 'Return');
var selected = waitForEvent('DicomdirImageSelected');
var loaded = waitForEvent('ImageLoaded');
var opened = { count: viewer.StackCount, index: viewer.StackIndex };
var stepped = step(5);
Host.echo(JSON.stringify({ selected: base(selected.ImagePathName), opened: opened,
    stepped: base(stepped.FileName), selections: named('DicomdirImageSelected').length,
    loads: named('ImageLoaded').length }));
)js",
                                      {medium + "/DICOMDIR"});
    EXPECT_EQ(out["selected"].toString(), ids[0]);
    EXPECT_EQ(out["opened"].toObject()["count"].toInt(), 8);
    EXPECT_EQ(out["opened"].toObject()["index"].toInt(), 0);
    EXPECT_EQ(out["stepped"].toString(), ids[5]);
    EXPECT_EQ(out["selections"].toInt(), 1);
    EXPECT_EQ(out["loads"].toInt(), 1);
}

TEST_F(KestScriptStackTest, AMultiFrameFileIsAStackOfItsFramesThatTheCinePlays) {
    const Series series = makeSeries("cine", 2, {"--multiframe", "6"});
    const QJsonObject out = runScript(R"js(
viewer.StackMode = true;
viewer.LoadDicomFile(Host.arguments[0] + '/cine.dcm');
waitForEvent('ImageLoaded');
var opened = { count: viewer.StackCount, index: viewer.StackIndex, frames: viewer.dcmFrames };
var third = step(2);
var frame = viewer.dcmFrame;
// The file's own rate (Frame Time 40 ms) until the stack has come round twice.
var before = named('StackImageChanged').length;
viewer.PlayCine(0);
Host.waitFor(function () {
    var played = named('StackImageChanged').slice(before).map(function (e) { return e.args.Index; });
    var rounds = 0;
    for (var i = 1; i < played.length; i++) { if (played[i] < played[i - 1]) { rounds++; } }
    return rounds >= 2;
}, 60000);
viewer.StopCine();
var played = named('StackImageChanged').slice(before).map(function (e) { return e.args.Index; });
// After the stop, the next event is the host's own step.
var after = named('StackImageChanged').length;
viewer.StackIndex = (played[played.length - 1] + 3) % 6;
var next = shown(viewer.StackIndex);
Host.echo(JSON.stringify({ opened: opened, third: third, frame: frame, played: played,
    next: next.Index, afterStop: named('StackImageChanged').slice(after).map(function (e) {
        return e.args.Index; }) }));
)js",
                                      {series.folder});
    const QJsonObject opened = out["opened"].toObject();
    EXPECT_EQ(opened["count"].toInt(), 6);
    EXPECT_EQ(opened["index"].toInt(), 0);
    EXPECT_EQ(opened["frames"].toInt(), 6);
    EXPECT_EQ(out["third"].toObject()["FileName"].toString(), series.folder + "/cine.dcm");
    EXPECT_EQ(out["frame"].toInt(), 2) << "dcmFrame follows the stack";
    // The cine moves forward, skipping at most what it could not show in time, and loops.
    // The cine moves on with every event, skipping what it could not show in time.
    const QJsonArray played = out["played"].toArray();
    ASSERT_GE(played.size(), 3);
    for (qsizetype i = 1; i < played.size(); ++i)
        EXPECT_NE(played[i].toInt(), played[i - 1].toInt()) << i;
    // After the stop, only an image the cine had shown before it may still be
    // reported, then the host's own step.
    const QJsonArray afterStop = out["afterStop"].toArray();
    ASSERT_GE(afterStop.size(), 1);
    ASSERT_LE(afterStop.size(), 2);
    EXPECT_EQ(afterStop.last().toInt(), out["next"].toInt());
}

TEST_F(KestScriptStackTest, OddFilesInASeriesAreSkippedAndNeverShownOutOfOrder) {
    const Series series = makeSeries("odd", 600);
    // A slice already cut short is left out of the stack; a FIFO named like a
    // slice is never opened; a copy of a slice at the same position follows it.
    QFile cut(series.folder + '/' + series.order[10]);
    ASSERT_TRUE(cut.resize(cut.size() - 1500));
    ASSERT_EQ(QProcess::execute("mkfifo", {series.folder + "/fifo.dcm"}), 0);
    ASSERT_TRUE(
        QFile::copy(series.folder + '/' + series.order[20], series.folder + "/zz_twin.dcm"));
    // Once the stack is open (the script saves a picture), one slice beyond
    // what the page reads ahead is cut short and the next one removed.
    const QString opened = m_run.path("opened.png");
    const QString changed = m_run.path("changed");
    std::thread changer([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(150);
        while (!QFile::exists(opened) && std::chrono::steady_clock::now() < deadline)
            QThread::msleep(20);
        QFile later(series.folder + '/' + series.order[550]);
        later.resize(later.size() - 1500);
        QFile::remove(series.folder + '/' + series.order[551]);
        QFile(changed).open(QIODevice::WriteOnly);
    });

    const QJsonObject out = runScript(R"js(
viewer.StackMode = true;
viewer.CacheSizeMB = 16;
viewer.LoadDicomFile(Host.arguments[0] + '/' + Host.arguments[1]);
waitForEvent('ImageLoaded');
var count = viewer.StackCount;
viewer.SaveImage(new Ref(Host.arguments[2]), false);
Host.waitFor(function () { return Host.fileExists(Host.arguments[3]); }, 150000);
var names = [];
for (var i = 18; i <= 22; i++) { names.push(base(step(i).FileName)); }
step(549);
var before = named('StackImageChanged').length;
viewer.SelectTool(101);
shown(552);
// A jump to a removed slice stays where it was: the next event is the next jump's.
viewer.StackIndex = 551;
step(553);
var after = named('StackImageChanged').slice(before).map(function (e) { return e.args.Index; });
Host.echo(JSON.stringify({ count: count, names: names, after: after, cache: viewer.CacheSizeMB }));
)js",
                                      {series.folder, series.order[2], opened, changed});
    changer.join();
    EXPECT_EQ(out["count"].toInt(), 600);
    // The twin shares its position and instance number with its slice: the
    // names decide.
    EXPECT_EQ(strings(out["names"]), QStringList({series.order[19], series.order[20], "zz_twin.dcm",
                                                  series.order[21], series.order[22]}));
    EXPECT_EQ(out["after"].toArray(), QJsonArray({552, 553}))
        << "a step passes the slices cut and removed since the stack opened";
    EXPECT_EQ(out["cache"].toInt(), 16);
}

TEST_F(KestScriptStackTest, CompressedSlicesStepLikeAnyOtherWhoeverDecodesThem) {
    // JPEG lossless (the page decodes it) and JPEG-LS (the host's decoder
    // process does), in one series as an archive might mix them.
    const Series series = makeSeries("compressed", 8);
    for (qsizetype i = 0; i < series.order.size(); ++i) {
        const QString path = series.folder + '/' + series.order[i];
        const QString tool = i % 2 ? "dcmcjpls" : "dcmcjpeg";
        ASSERT_EQ(QProcess::execute(tool, {path, path + ".tmp"}), 0) << tool.toStdString();
        ASSERT_TRUE(QFile::remove(path));
        ASSERT_TRUE(QFile::rename(path + ".tmp", path));
    }
    const QJsonObject out = runScript(R"js(
viewer.StackMode = true;
viewer.LoadDicomFile(Host.arguments[0] + '/' + Host.arguments[1]);
waitForEvent('ImageLoaded');
var names = [];
for (var i = 0; i < viewer.StackCount; i++) {
    names.push(i === 3 ? Host.arguments[1] : base(step(i).FileName));
}
Host.echo(JSON.stringify({ names: names, width: viewer.dcmImageWidth }));
)js",
                                      {series.folder, series.order[3]});
    EXPECT_EQ(strings(out["names"]), series.order);
    EXPECT_EQ(out["width"].toInt(), 32);
}

TEST_F(KestScriptStackTest, ASeriesOfTenThousandFilesOpensAndStepsToItsEnds) {
    const Series series = makeSeries("large", 10000);
    const QJsonObject out = runScript(R"js(
viewer.StackMode = true;
viewer.LoadDicomFile(Host.arguments[0] + '/' + Host.arguments[1]);
waitForEvent('ImageLoaded');
var opened = { count: viewer.StackCount, index: viewer.StackIndex };
var ends = [base(step(9999).FileName), base(step(0).FileName)];
viewer.SelectTool(101);
ends.push(base(shown(1).FileName));
Host.echo(JSON.stringify({ opened: opened, ends: ends }));
)js",
                                      {series.folder, series.order[5000]});
    EXPECT_EQ(out["opened"].toObject()["count"].toInt(), 10000);
    EXPECT_EQ(out["opened"].toObject()["index"].toInt(), 5000);
    EXPECT_EQ(strings(out["ends"]),
              QStringList({series.order[9999], series.order[0], series.order[1]}));
}

TEST_F(KestScriptStackTest, WithoutStackModeAFileOfASeriesShowsAlone) {
    const Series series = makeSeries("alone", 5);
    const QJsonObject out = runScript(R"js(
viewer.LoadDicomFile(Host.arguments[0] + '/' + Host.arguments[1]);
waitForEvent('ImageLoaded');
viewer.SelectTool(101);
// A page round trip after the step: a zoom change the page reports.
viewer.dcmZoomFactor = 150;
waitForEvent('ZoomChanged');
Host.echo(JSON.stringify({ mode: viewer.StackMode, count: viewer.StackCount,
    index: viewer.StackIndex, file: viewer.dcmFileName,
    stackEvents: named('StackImageChanged').length }));
)js",
                                      {series.folder, series.order[2]});
    EXPECT_FALSE(out["mode"].toBool());
    EXPECT_EQ(out["count"].toInt(), 1);
    EXPECT_EQ(out["index"].toInt(), 0);
    EXPECT_EQ(out["file"].toString(), series.order[2]);
    EXPECT_EQ(out["stackEvents"].toInt(), 0);
}

} // namespace
