// Measurements seen by a host through the real kestscript and the viewer's
// pages: the values of each tool, the events of a drawing by hand and of the
// members, and measurements on several images of a stack.

#include "ScriptRun.h"

#include "tests/common/QtPrinters.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

const QString CreateViewer = R"js(
var viewer = Host.createControl('KestDicomViewControl.KestDicomViewAX', 800, 600);
var events = [];
['ImageLoaded', 'StackImageChanged', 'MeasurementChanged', 'ToolSelected'].forEach(function (name) {
    viewer.on(name, function (args) { events.push({ name: name, args: args }); });
});
function named(name) { return events.filter(function (e) { return e.name === name; }); }
function waitForEvent(name, count) {
    Host.waitFor(function () { return named(name).length >= (count || 1); }, 60000);
    return named(name)[named(name).length - 1].args;
}
function changes() {
    return named('MeasurementChanged').map(function (e) {
        return { id: e.args.Id, action: e.args.Action, json: JSON.parse(e.args.Json) };
    });
}
// A page round trip that changes nothing: the tool in use chosen again. Once
// it is back, whatever the page posted before it has been handled.
function roundTrip(tool) {
    var before = named('ToolSelected').length;
    viewer.SelectTool(tool);
    waitForEvent('ToolSelected', before + 1);
}
)js";

class KestScriptMeasurementTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_run.registerLibrary(KEST_CONTROL_PATH)) << m_run.error().toStdString();
        m_folder = m_run.path("series");
        QProcess python;
        python.start(
            QStringLiteral("/usr/bin/python3"),
            {KEST_SOURCE_DIR_PATH "/tests/tools/data/make_stack_series.py", m_folder, "8"});
        ASSERT_TRUE(python.waitForFinished(60000));
        for (const QJsonValue& name :
             QJsonDocument::fromJson(python.readAllStandardOutput()).object()["order"].toArray())
            m_order.append(name.toString());
        ASSERT_EQ(m_order.size(), 8);
    }

    QJsonObject runScript(const QString& body) {
        const auto result =
            m_run.run(CreateViewer + body, {"--timeout", "150"}, {m_folder, m_order[2]}, 170);
        EXPECT_EQ(result.exitCode, 0) << result.errors.toStdString();
        return ScriptRun::lastJson(result);
    }

    static QJsonObject byTool(const QJsonArray& measurements, const QString& tool) {
        for (const QJsonValue& value : measurements) {
            if (value.toObject()["tool"].toString() == tool)
                return value.toObject();
        }
        return {};
    }

    ScriptRun m_run;
    QString m_folder;
    QStringList m_order;
};

// Slice 2 holds the value 2 everywhere but its first pixel; its pixels are 0.5 mm square.
TEST_F(KestScriptMeasurementTest, EachToolsValuesAndTheEventsOfTheMembers) {
    const QJsonObject out = runScript(R"js(
viewer.StackMode = true;
viewer.LoadDicomFile(Host.arguments[0] + '/' + Host.arguments[1]);
waitForEvent('ImageLoaded');
var ids = [
    viewer.AddMeasurement('Length', '[[4,4],[4,24]]'),
    viewer.AddMeasurement('Angle', '[[10,4],[4,4],[4,10]]'),
    viewer.AddMeasurement('Cobb', '[[2,2],[12,2],[2,20],[12,30]]'),
    viewer.AddMeasurement('Rectangle', '[[2,2],[12,12]]'),
    viewer.AddMeasurement('Ellipse', '[[2,2],[12,12]]'),
    viewer.AddMeasurement('Probe', '[[5,5]]')];
var errors = [];
['Arrow|[[1,1]]', 'Length|[[1,1]]', 'Length|[[1,1],[2,"x"]]', 'Probe|not json'].forEach(function (call) {
    var parts = call.split('|');
    try { viewer.AddMeasurement(parts[0], parts[1]); errors.push(0); } catch (e) { errors.push(e.number); }
});
waitForEvent('MeasurementChanged', 6);
var first = JSON.parse(viewer.GetMeasurements());
viewer.StackIndex = 5;
Host.waitFor(function () { return named('StackImageChanged').length > 0; }, 30000);
var onFive = viewer.AddMeasurement('Length', '[[0,0],[0,10]]');
waitForEvent('MeasurementChanged', 7);
var both = JSON.parse(viewer.GetMeasurements());
var removed = viewer.RemoveMeasurement(ids[5]);
var unknown = viewer.RemoveMeasurement('no-such-id');
waitForEvent('MeasurementChanged', 8);
viewer.SelectTool(12);
waitForEvent('MeasurementChanged', 9);
roundTrip(1);
Host.echo(JSON.stringify({ ids: ids, onFive: onFive, errors: errors, first: first, both: both,
    removed: removed, unknown: unknown, changes: changes(),
    last: JSON.parse(viewer.GetMeasurements()) }));
)js");
    EXPECT_EQ(out["errors"].toArray(), QJsonArray({5, 5, 5, 5}));
    const QJsonArray first = out["first"].toArray();
    ASSERT_EQ(first.size(), 6);
    const QJsonObject length = byTool(first, "Length");
    EXPECT_DOUBLE_EQ(length["length_mm"].toDouble(), 10.0);
    EXPECT_DOUBLE_EQ(length["length_px"].toDouble(), 20.0);
    EXPECT_EQ(length["calibration"].toString(), "pixelSpacing");
    EXPECT_EQ(length["frame"].toInt(), 0);
    EXPECT_EQ(length["points"].toArray(), QJsonArray({QJsonArray({4, 4}), QJsonArray({4, 24})}));
    EXPECT_NEAR(byTool(first, "Angle")["angle_deg"].toDouble(), 90.0, 1e-9);
    EXPECT_NEAR(byTool(first, "Cobb")["angle_deg"].toDouble(), 45.0, 1e-9);
    const QJsonObject rectangle = byTool(first, "Rectangle");
    EXPECT_DOUBLE_EQ(rectangle["area_mm2"].toDouble(), 25.0);
    EXPECT_DOUBLE_EQ(rectangle["mean"].toDouble(), 2.0);
    EXPECT_DOUBLE_EQ(rectangle["stdDev"].toDouble(), 0.0);
    EXPECT_DOUBLE_EQ(rectangle["min"].toDouble(), 2.0);
    EXPECT_DOUBLE_EQ(rectangle["max"].toDouble(), 2.0);
    EXPECT_EQ(rectangle["unit"].toString(), "HU");
    const QJsonObject ellipse = byTool(first, "Ellipse");
    EXPECT_NEAR(ellipse["area_mm2"].toDouble(), 3.14159265 * 25 * 0.25, 1e-6);
    EXPECT_DOUBLE_EQ(ellipse["mean"].toDouble(), 2.0);
    const QJsonObject probe = byTool(first, "Probe");
    EXPECT_EQ(probe["stored"].toInt(), 2);
    EXPECT_DOUBLE_EQ(probe["modality"].toDouble(), 2.0);

    // The measurement on slice 5 names its own image.
    const QJsonArray both = out["both"].toArray();
    ASSERT_EQ(both.size(), 7);
    EXPECT_NE(both[6].toObject()["sopInstanceUid"].toString(), length["sopInstanceUid"].toString());
    EXPECT_FALSE(length["sopInstanceUid"].toString().isEmpty());
    EXPECT_TRUE(out["removed"].toBool());
    EXPECT_FALSE(out["unknown"].toBool());

    // One event per change, in order: six added, one added on slice 5, the
    // probe removed, the Clear of slice 5; each event's JSON is its measurement.
    QStringList actions;
    QStringList ids;
    for (const QJsonValue& value : out["changes"].toArray()) {
        const QJsonObject change = value.toObject();
        actions.append(change["action"].toString());
        ids.append(change["id"].toString());
        EXPECT_EQ(change["json"].toObject()["id"].toString(), change["id"].toString());
    }
    EXPECT_EQ(actions, QStringList({"added", "added", "added", "added", "added", "added", "added",
                                    "removed", "removed"}));
    QStringList expected;
    for (const QJsonValue& id : out["ids"].toArray())
        expected.append(id.toString());
    expected << out["onFive"].toString() << expected[5] << out["onFive"].toString();
    EXPECT_EQ(ids, expected);
    EXPECT_EQ(out["last"].toArray().size(), 5);
}

TEST_F(KestScriptMeasurementTest, ADrawingByHandIsReportedOnceWhenItEndsAndOnceWhenMoved) {
    const QJsonObject out = runScript(R"js(
viewer.LoadDicomFile(Host.arguments[0] + '/' + Host.arguments[1]);
waitForEvent('ImageLoaded');
viewer.SelectTool(4);
Host.drag(300, 200, 500, 400);
waitForEvent('MeasurementChanged', 1);
roundTrip(4);
var drawn = changes();
// The line's end handle is where the drag ended: dragging it moves the end.
Host.drag(500, 400, 450, 300);
waitForEvent('MeasurementChanged', 2);
roundTrip(4);
var moved = changes();
viewer.SelectTool(9);
Host.drag(250, 300, 250, 300);
waitForEvent('MeasurementChanged', 3);
roundTrip(9);
Host.echo(JSON.stringify({ drawn: drawn, moved: moved, all: changes() }));
)js");
    const QJsonArray drawn = out["drawn"].toArray();
    ASSERT_EQ(drawn.size(), 1) << "nothing is reported during the drag";
    EXPECT_EQ(drawn[0].toObject()["action"].toString(), "added");
    const QJsonObject line = drawn[0].toObject()["json"].toObject();
    EXPECT_EQ(line["tool"].toString(), "Length");
    EXPECT_GT(line["length_mm"].toDouble(), 0);
    const QJsonArray moved = out["moved"].toArray();
    ASSERT_EQ(moved.size(), 2);
    const QJsonObject after = moved[1].toObject();
    EXPECT_EQ(after["action"].toString(), "modified");
    EXPECT_EQ(after["id"].toString(), drawn[0].toObject()["id"].toString());
    const QJsonArray start = line["points"].toArray();
    const QJsonArray now = after["json"].toObject()["points"].toArray();
    EXPECT_EQ(now[0], start[0]) << "the other end stays";
    EXPECT_LT(now[1].toArray()[1].toDouble(), start[1].toArray()[1].toDouble());
    const QJsonArray all = out["all"].toArray();
    ASSERT_EQ(all.size(), 3);
    EXPECT_EQ(all[2].toObject()["json"].toObject()["tool"].toString(), "Probe");
    EXPECT_EQ(all[2].toObject()["json"].toObject()["stored"].toInt(), 2);
}

// What pydicom reads of a report: its class, template, patient, study and, per
// measurement group, its region's graphic type, referenced instance and values.
const char* ReadReport = R"py(
import json, sys
import pydicom
ds = pydicom.dcmread(sys.argv[1])
def concept(item):
    return item.ConceptNameCodeSequence[0].CodeMeaning if 'ConceptNameCodeSequence' in item else ''
groups = []
def walk(items):
    for item in items:
        if concept(item) == 'Measurement Group':
            group = {'values': {}}
            for child in item.ContentSequence:
                if child.ValueType == 'SCOORD':
                    group['graphic'] = child.GraphicType
                    group['instance'] = child.ContentSequence[0].ReferencedSOPSequence[0].ReferencedSOPInstanceUID
                if child.ValueType == 'NUM':
                    value = child.MeasuredValueSequence[0]
                    group['values'][concept(child)] = [float(value.NumericValue),
                        value.MeasurementUnitsCodeSequence[0].CodeValue]
            groups.append(group)
        elif 'ContentSequence' in item:
            walk(item.ContentSequence)
walk(ds.ContentSequence)
print(json.dumps({'sopClass': ds.SOPClassUID, 'template': ds.ContentTemplateSequence[0].TemplateIdentifier,
                  'patient': str(ds.PatientName), 'study': ds.StudyInstanceUID, 'groups': groups}))
)py";

TEST_F(KestScriptMeasurementTest, AReportIsWrittenValidAndItsMeasurementsComeBack) {
    const QString report = m_run.path("report.dcm");
    const QJsonObject out = runScript(QStringLiteral(R"js(
viewer.StackMode = true;
viewer.LoadDicomFile(Host.arguments[0] + '/' + Host.arguments[1]);
waitForEvent('ImageLoaded');
['Length|[[4,4],[4,24]]', 'Angle|[[10,4],[4,4],[4,10]]', 'Cobb|[[2,2],[12,2],[2,20],[12,30]]',
 'Rectangle|[[2,2],[12,12]]', 'Ellipse|[[2,2],[14,8]]', 'Probe|[[5,5]]'].forEach(function (call) {
    var parts = call.split('|');
    viewer.AddMeasurement(parts[0], parts[1]);
});
viewer.StackIndex = 5;
Host.waitFor(function () { return named('StackImageChanged').length > 0; }, 30000);
viewer.AddMeasurement('Length', '[[0,0],[0,10]]');
waitForEvent('MeasurementChanged', 7);
var written = JSON.parse(viewer.GetMeasurements());
var saved = viewer.SaveMeasurementsAsSR('%1');
// The series again after another file (a file of the open stack would be a
// step), both slices shown, then the report's measurements drawn.
viewer.LoadDicomFile(Host.arguments[0] + '/scout.dcm');
waitForEvent('ImageLoaded', 2);
viewer.LoadDicomFile(Host.arguments[0] + '/' + Host.arguments[1]);
waitForEvent('ImageLoaded', 3);
var steps = named('StackImageChanged').length;
viewer.StackIndex = 5;
Host.waitFor(function () { return named('StackImageChanged').length > steps; }, 30000);
viewer.StackIndex = 2;
Host.waitFor(function () { return named('StackImageChanged').length > steps + 1; }, 30000);
var drawn = viewer.LoadMeasurements('%1');
var read = JSON.parse(viewer.GetMeasurements());
var notReport = -1;
try { viewer.LoadMeasurements(Host.arguments[0] + '/' + Host.arguments[1]); } catch (e) { notReport = e.number; }
// A report opened as a document still shows as a report.
viewer.LoadDicomFile('%1');
var shown = waitForEvent('ImageLoaded', 4);
Host.echo(JSON.stringify({ written: written, saved: saved, drawn: drawn, read: read,
    notReport: notReport, modality: shown.Modality, noImage: shown.NoImage }));
)js")
                                          .arg(report));
    EXPECT_TRUE(out["saved"].toBool());
    EXPECT_EQ(out["drawn"].toInt(), 7);
    EXPECT_EQ(out["notReport"].toInt(), 5);
    EXPECT_EQ(out["modality"].toString(), "SR");
    EXPECT_TRUE(out["noImage"].toBool());

    // The measurements come back as they were written: tool, image and points.
    const auto key = [](const QJsonValue& value) {
        const QJsonObject m = value.toObject();
        QStringList points;
        for (const QJsonValue& point : m["points"].toArray())
            points << QString::number(point.toArray()[0].toDouble(), 'f', 2) + ',' +
                          QString::number(point.toArray()[1].toDouble(), 'f', 2);
        return m["tool"].toString() + ' ' + m["sopInstanceUid"].toString() + ' ' +
               QString::number(m["frame"].toInt()) + ' ' + points.join(' ');
    };
    QStringList written;
    QStringList read;
    for (const QJsonValue& m : out["written"].toArray())
        written << key(m);
    for (const QJsonValue& m : out["read"].toArray())
        read << key(m);
    written.sort();
    read.sort();
    EXPECT_EQ(read, written);

    // dciodvfy finds no error in the report.
    QProcess verify;
    verify.start("dciodvfy", {report});
    ASSERT_TRUE(verify.waitForFinished(60000));
    const QString verdict = verify.readAllStandardError() + verify.readAllStandardOutput();
    EXPECT_FALSE(verdict.contains("Error")) << verdict.toStdString();

    // pydicom reads a Comprehensive SR of TID 1500 with the series' patient,
    // and the values with their UCUM units.
    QProcess python;
    python.start("/usr/bin/python3", {"-c", ReadReport, report});
    ASSERT_TRUE(python.waitForFinished(60000));
    const QJsonObject made = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
    EXPECT_EQ(made["sopClass"].toString(), "1.2.840.10008.5.1.4.1.1.88.33")
        << python.readAllStandardError().toStdString();
    EXPECT_EQ(made["template"].toString(), "1500");
    EXPECT_EQ(made["patient"].toString(), "STACK^TEST");
    const QJsonArray groups = made["groups"].toArray();
    ASSERT_EQ(groups.size(), 7);
    const QJsonObject length = groups[0].toObject();
    EXPECT_EQ(length["graphic"].toString(), "POLYLINE");
    EXPECT_EQ(length["values"].toObject()["Length"].toArray(), QJsonArray({10.0, "mm"}));
    EXPECT_EQ(length["instance"].toString(),
              out["written"].toArray()[0].toObject()["sopInstanceUid"].toString());
    const QJsonObject rectangle = groups[3].toObject();
    EXPECT_EQ(rectangle["values"].toObject()["Mean"].toArray(), QJsonArray({2.0, "[hnsf'U]"}));
    EXPECT_EQ(rectangle["values"].toObject()["Area"].toArray(), QJsonArray({25.0, "mm2"}));
    EXPECT_EQ(groups[4].toObject()["graphic"].toString(), "ELLIPSE");
    EXPECT_EQ(groups[5].toObject()["graphic"].toString(), "POINT");
}

// Tools drawn in several gestures are reported once, when their last one ends.
TEST_F(KestScriptMeasurementTest, AnglesDrawnByHandAreReportedOnceComplete) {
    const QJsonObject out = runScript(R"js(
viewer.LoadDicomFile(Host.arguments[0] + '/' + Host.arguments[1]);
waitForEvent('ImageLoaded');
// An angle: one arm dragged, the other end clicked.
viewer.SelectTool(5);
Host.drag(300, 300, 400, 300);
Host.drag(400, 200, 400, 200);
waitForEvent('MeasurementChanged', 1);
// A Cobb angle: two lines dragged.
viewer.SelectTool(6);
Host.drag(300, 100, 500, 100);
Host.drag(300, 400, 500, 500);
waitForEvent('MeasurementChanged', 2);
roundTrip(6);
Host.echo(JSON.stringify({ all: changes() }));
)js");
    const QJsonArray all = out["all"].toArray();
    ASSERT_EQ(all.size(), 2) << "nothing is reported before the last gesture";
    const QJsonObject angle = all[0].toObject();
    EXPECT_EQ(angle["action"].toString(), "added");
    EXPECT_EQ(angle["json"].toObject()["tool"].toString(), "Angle");
    EXPECT_NEAR(angle["json"].toObject()["angle_deg"].toDouble(), 90.0, 1e-6);
    const QJsonObject cobb = all[1].toObject();
    EXPECT_EQ(cobb["action"].toString(), "added");
    EXPECT_EQ(cobb["json"].toObject()["tool"].toString(), "Cobb");
    EXPECT_EQ(cobb["json"].toObject()["points"].toArray().size(), 4);
    // The second line falls one for two across: about 26.6 degrees against the first.
    EXPECT_NEAR(cobb["json"].toObject()["angle_deg"].toDouble(), 26.565, 0.01);
}

// Another program's report, as pydicom writes one: a length whose NUM is
// inferred from its SCOORD, a circular region, a freehand polygon no tool
// draws, and a point on an image that is not shown.
const char* OtherReport = R"py(
import sys
import pydicom
from pydicom.dataset import Dataset, FileMetaDataset
from pydicom.sequence import Sequence
from pydicom.uid import ExplicitVRLittleEndian, generate_uid
image = pydicom.dcmread(sys.argv[1])
def code(value, scheme, meaning):
    item = Dataset(); item.CodeValue = value; item.CodingSchemeDesignator = scheme; item.CodeMeaning = meaning
    return item
def item(relation, kind, name):
    node = Dataset(); node.RelationshipType = relation; node.ValueType = kind
    node.ConceptNameCodeSequence = Sequence([name]); return node
def region(kind, points, instance):
    scoord = item('INFERRED FROM', 'SCOORD', code('111030', 'DCM', 'Image Region'))
    scoord.GraphicType = kind; scoord.GraphicData = points
    reference = item('SELECTED FROM', 'IMAGE', code('121200', 'DCM', 'Illustration of ROI'))
    sop = Dataset(); sop.ReferencedSOPClassUID = image.SOPClassUID; sop.ReferencedSOPInstanceUID = instance
    reference.ReferencedSOPSequence = Sequence([sop])
    scoord.ContentSequence = Sequence([reference]); return scoord
def group(*children):
    node = item('CONTAINS', 'CONTAINER', code('125007', 'DCM', 'Measurement Group'))
    node.ContinuityOfContent = 'SEPARATE'; node.ContentSequence = Sequence(list(children)); return node
length = item('CONTAINS', 'NUM', code('410668003', 'SCT', 'Length'))
value = Dataset(); value.NumericValue = '5'; value.MeasurementUnitsCodeSequence = Sequence([code('mm', 'UCUM', 'mm')])
length.MeasuredValueSequence = Sequence([value])
length.ContentSequence = Sequence([region('POLYLINE', [1.0, 1.0, 1.0, 11.0], image.SOPInstanceUID)])
circle = region('CIRCLE', [10.0, 10.0, 13.0, 14.0], image.SOPInstanceUID)
circle.RelationshipType = 'CONTAINS'
polygon = region('POLYLINE', [1.0, 1.0, 5.0, 2.0, 3.0, 7.0, 1.0, 1.0], image.SOPInstanceUID)
polygon.RelationshipType = 'CONTAINS'
elsewhere = region('POINT', [3.0, 3.0], generate_uid())
elsewhere.RelationshipType = 'CONTAINS'
measurements = item('CONTAINS', 'CONTAINER', code('126010', 'DCM', 'Imaging Measurements'))
measurements.ContinuityOfContent = 'SEPARATE'
measurements.ContentSequence = Sequence([group(length), group(circle), group(polygon), group(elsewhere)])
ds = Dataset()
ds.file_meta = FileMetaDataset()
ds.file_meta.MediaStorageSOPClassUID = '1.2.840.10008.5.1.4.1.1.88.33'
ds.file_meta.MediaStorageSOPInstanceUID = generate_uid()
ds.file_meta.TransferSyntaxUID = ExplicitVRLittleEndian
ds.SOPClassUID = ds.file_meta.MediaStorageSOPClassUID; ds.SOPInstanceUID = ds.file_meta.MediaStorageSOPInstanceUID
ds.Modality = 'SR'; ds.PatientName = image.PatientName; ds.StudyInstanceUID = image.StudyInstanceUID
ds.SeriesInstanceUID = generate_uid(); ds.ValueType = 'CONTAINER'; ds.ContinuityOfContent = 'SEPARATE'
ds.ConceptNameCodeSequence = Sequence([code('126000', 'DCM', 'Imaging Measurement Report')])
template = Dataset(); template.MappingResource = 'DCMR'; template.TemplateIdentifier = '1500'
ds.ContentTemplateSequence = Sequence([template])
ds.ContentSequence = Sequence([measurements])
ds.is_little_endian, ds.is_implicit_VR = True, False
ds.save_as(sys.argv[2], write_like_original=False)
)py";

TEST_F(KestScriptMeasurementTest, AnotherProgramsReportIsDrawnAsFarAsTheToolsCan) {
    const QString report = m_run.path("other.dcm");
    QProcess python;
    python.start("/usr/bin/python3", {"-c", OtherReport, m_folder + '/' + m_order[2], report});
    ASSERT_TRUE(python.waitForFinished(60000));
    ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    const QJsonObject out = runScript(QStringLiteral(R"js(
viewer.LoadDicomFile(Host.arguments[0] + '/' + Host.arguments[1]);
waitForEvent('ImageLoaded');
var drawn = viewer.LoadMeasurements('%1');
Host.echo(JSON.stringify({ drawn: drawn, read: JSON.parse(viewer.GetMeasurements()) }));
)js")
                                          .arg(report));
    EXPECT_EQ(out["drawn"].toInt(), 2) << "the polygon and the point elsewhere are left out";
    const QJsonArray read = out["read"].toArray();
    ASSERT_EQ(read.size(), 2);
    const QJsonObject length = byTool(read, "Length");
    EXPECT_DOUBLE_EQ(length["length_mm"].toDouble(), 5.0);
    const QJsonObject circle = byTool(read, "Ellipse");
    EXPECT_EQ(circle["points"].toArray(), QJsonArray({QJsonArray({5, 5}), QJsonArray({15, 15})}));
}

// A hostile report: nested 100,000 levels deep (the reader's stack cannot
// hold it) it is refused with an error and the viewer goes on; a region off
// its image is left out.
const char* DeepReport = R"py(
import struct, sys
def element(group, number, vr, value):
    return struct.pack('<HH', group, number) + vr + struct.pack('<H', len(value)) + value
meta_body = struct.pack('<HH', 2, 1) + b'OB\0\0' + struct.pack('<I', 2) + b'\0\1'
meta_body += element(2, 2, b'UI', b'1.2.840.10008.5.1.4.1.1.88.33\0')
meta_body += element(2, 3, b'UI', b'1.2.3.4.5.6.7\0') + element(2, 0x10, b'UI', b'1.2.840.10008.1.2.1\0')
meta = element(2, 0, b'UL', struct.pack('<I', len(meta_body))) + meta_body
body = element(8, 0x16, b'UI', b'1.2.840.10008.5.1.4.1.1.88.33\0') + element(8, 0x18, b'UI', b'1.2.3.4.5.6.7\0')
body += element(8, 0x60, b'CS', b'SR') + element(0x40, 0xA040, b'CS', b'CONTAINER ')
level = struct.pack('<HH', 0x40, 0xA730) + b'SQ\0\0' + struct.pack('<I', 0xFFFFFFFF)
level += struct.pack('<HHI', 0xFFFE, 0xE000, 0xFFFFFFFF) + element(0x40, 0xA040, b'CS', b'CONTAINER ')
close = struct.pack('<HHI', 0xFFFE, 0xE00D, 0) + struct.pack('<HHI', 0xFFFE, 0xE0DD, 0)
depth = 100000
open(sys.argv[1], 'wb').write(b'\0' * 128 + b'DICM' + meta + body + level * depth + close * depth)
)py";

TEST_F(KestScriptMeasurementTest, HostileReportsAreRefusedOrTrimmedAndTheViewerGoesOn) {
    const QString deep = m_run.path("deep.dcm");
    QProcess python;
    python.start("/usr/bin/python3", {"-c", DeepReport, deep});
    ASSERT_TRUE(python.waitForFinished(60000));
    ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    const QString offImage = m_run.path("off.dcm");
    const QJsonObject out = runScript(QStringLiteral(R"js(
viewer.LoadDicomFile(Host.arguments[0] + '/' + Host.arguments[1]);
waitForEvent('ImageLoaded');
var deep = 0;
try { viewer.LoadMeasurements('%1'); } catch (e) { deep = e.number; }
// A report of a length reaching far off the image, and one on it.
viewer.AddMeasurement('Length', '[[1,1],[2,2]]');
viewer.AddMeasurement('Length', '[[1,1],[2,900]]');
waitForEvent('MeasurementChanged', 2);
viewer.SaveMeasurementsAsSR('%2');
viewer.SelectTool(12);
waitForEvent('MeasurementChanged', 4);
var drawn = viewer.LoadMeasurements('%2');
Host.echo(JSON.stringify({ deep: deep, drawn: drawn, after: JSON.parse(viewer.GetMeasurements()) }));
)js")
                                          .arg(deep, offImage));
    EXPECT_EQ(out["deep"].toInt(), 5);
    EXPECT_EQ(out["drawn"].toInt(), 1);
    ASSERT_EQ(out["after"].toArray().size(), 1);
    EXPECT_EQ(out["after"].toArray()[0].toObject()["points"].toArray()[1], QJsonArray({2, 2}));
}

// Two images pydicom writes: a CT whose values vary over a rectangle (the
// mean numpy finds over the pixels whose centres lie inside it is printed),
// and an ultrasound image with one spatial region of 0.01 cm per pixel.
const char* ValueImages = R"py(
import json, sys
import numpy as np
from pydicom.dataset import Dataset, FileMetaDataset
from pydicom.sequence import Sequence
from pydicom.uid import ExplicitVRLittleEndian, generate_uid
def image(path, modality, pixels, extra):
    ds = Dataset(); ds.file_meta = FileMetaDataset()
    ds.file_meta.MediaStorageSOPClassUID = '1.2.840.10008.5.1.4.1.1.2' if modality == 'CT' else '1.2.840.10008.5.1.4.1.1.6.1'
    ds.file_meta.MediaStorageSOPInstanceUID = generate_uid(); ds.file_meta.TransferSyntaxUID = ExplicitVRLittleEndian
    ds.SOPClassUID = ds.file_meta.MediaStorageSOPClassUID; ds.SOPInstanceUID = ds.file_meta.MediaStorageSOPInstanceUID
    ds.Modality = modality; ds.PatientName = 'VALUES^TEST'; ds.StudyInstanceUID = generate_uid(); ds.SeriesInstanceUID = generate_uid()
    ds.Rows, ds.Columns = pixels.shape; ds.SamplesPerPixel = 1; ds.PhotometricInterpretation = 'MONOCHROME2'
    ds.BitsAllocated, ds.BitsStored, ds.HighBit, ds.PixelRepresentation = 16, 16, 15, 0
    ds.PixelData = pixels.astype('<u2').tobytes(); extra(ds)
    ds.is_little_endian, ds.is_implicit_VR = True, False
    ds.save_as(path, write_like_original=False)
y, x = np.mgrid[0:40, 0:40]
ramp = (x * 3 + y * 7 + (x * y) % 11).astype(np.uint16)
def ct(ds):
    ds.PixelSpacing = [0.5, 0.5]; ds.RescaleSlope = 2; ds.RescaleIntercept = -100
image(sys.argv[1], 'CT', ramp, ct)
# The rectangle from (3.2, 4.7) to (17.6, 21.3): pixels whose centres lie inside.
cx, cy = x + 0.5, y + 0.5
inside = (cx >= 3.2) & (cx <= 17.6) & (cy >= 4.7) & (cy <= 21.3)
values = ramp[inside] * 2.0 - 100
def us(ds):
    region = Dataset(); region.RegionSpatialFormat = 1; region.RegionDataType = 1; region.RegionFlags = 0
    region.RegionLocationMinX0, region.RegionLocationMinY0 = 0, 0
    region.RegionLocationMaxX1, region.RegionLocationMaxY1 = 39, 39
    region.PhysicalUnitsXDirection, region.PhysicalUnitsYDirection = 3, 3
    region.PhysicalDeltaX, region.PhysicalDeltaY = 0.01, 0.01
    ds.SequenceOfUltrasoundRegions = Sequence([region])
image(sys.argv[2], 'US', ramp, us)
print(json.dumps({'mean': float(values.mean()), 'stdDev': float(values.std()), 'min': float(values.min()),
                  'max': float(values.max())}))
)py";

TEST_F(KestScriptMeasurementTest, ValuesMatchNumpyAndAnUltrasoundRegionsCalibration) {
    const QString ct = m_run.path("ramp.dcm");
    const QString us = m_run.path("us.dcm");
    QProcess python;
    python.start("/usr/bin/python3", {"-c", ValueImages, ct, us});
    ASSERT_TRUE(python.waitForFinished(60000));
    const QJsonObject expected = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
    ASSERT_FALSE(expected.isEmpty()) << python.readAllStandardError().toStdString();
    const QJsonObject out = runScript(QStringLiteral(R"js(
viewer.LoadDicomFile('%1');
waitForEvent('ImageLoaded');
viewer.AddMeasurement('Rectangle', '[[3.2,4.7],[17.6,21.3]]');
var rectangle = JSON.parse(waitForEvent('MeasurementChanged', 1).Json);
viewer.LoadDicomFile('%2');
waitForEvent('ImageLoaded', 2);
viewer.AddMeasurement('Length', '[[2,2],[2,22]]');
var length = JSON.parse(waitForEvent('MeasurementChanged', 2).Json);
Host.echo(JSON.stringify({ rectangle: rectangle, length: length }));
)js")
                                          .arg(ct, us));
    const QJsonObject rectangle = out["rectangle"].toObject();
    for (const char* key : {"mean", "stdDev", "min", "max"})
        EXPECT_NEAR(rectangle[key].toDouble(), expected[key].toDouble(), 1e-9) << key;
    EXPECT_NEAR(rectangle["area_mm2"].toDouble(), 14.4 * 16.6 * 0.25, 1e-9);
    const QJsonObject length = out["length"].toObject();
    EXPECT_EQ(length["calibration"].toString(), "ultrasoundRegion");
    EXPECT_NEAR(length["length_mm"].toDouble(), 2.0, 1e-9) << "20 pixels of 0.1 mm";
}

} // namespace
