#pragma once

#include <QJsonArray>
#include <QString>

// Measurements as a DICOM Comprehensive SR with the Measurement Report
// template (TID 1500), written and read with DCMTK's structured-report library.
//
// Each measurement is a Measurement Group (TID 1410): a tracking identifier
// and UID, its Image Region as a SCOORD selected from its image (SOP Instance
// UID and frame), and its values as NUM items with UCUM units. Lengths are
// open polylines of two points, angles of three (the vertex second), Cobb
// angles a multipoint of the two lines' ends, rectangles closed polylines,
// ellipses ELLIPSE (major axis, then minor axis), probes a POINT.
namespace measurementreport {

// Writes the measurements (as the viewer's GetMeasurements gives them, each
// with its sopClassUid) to target, with the patient and study of the image
// file source. An empty text on success, else what went wrong.
QString write(const QString& target, const QJsonArray& measurements, const QString& source);

struct Read {
    // The measurements found, each {tool, points, sopInstanceUid, frame} with
    // the points as AddMeasurement takes them and the frame from 0.
    QJsonArray measurements;
    QString error; // empty when the file is a readable structured report
};

// Reads the measurements of a report, ours or another program's TID 1500
// report: every group whose region is a graphic one of the viewer's tools
// can draw. Groups it cannot draw are left out.
Read read(const QString& file);

} // namespace measurementreport
