#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// Which files show as one stack with a file the viewer opens, and in what order.
//
// The stack of a file is the files, among its folder's or a given list, with
// its Series Instance UID, its Rows and Columns and its orientation (unit row
// and column vectors equal within 0.001 per component). A file without a
// usable orientation only joins files that have none either, so that a
// series of another plane never mixes in. Localizers (LOCALIZER in Image
// Type) are left out unless the file opened is one. A file without a Series
// Instance UID or an image size is a stack of its own.
//
// Order: files with a position first, from the largest projection of Image
// Position (Patient) on the slice normal (the cross product of the row and
// column vectors of the opened file) to the smallest, i.e. an axial series
// from head to feet; projections that round to the same thousandth of a
// millimetre are ties. Then files without a position. Ties and files without a position go
// by Instance Number (files without one after), then by file name in listing
// order, then by path, so that the order is total and the same on every call.
namespace seriesstack {

struct Entry {
    QString path;
    // Number of Frames: a multi-frame file stands for this many images in a row.
    int frames = 1;
    std::optional<int> instanceNumber;
    // Image Position (Patient) projected on the slice normal, in millimetres.
    std::optional<double> position;
};

struct Stack {
    QList<Entry> entries;
    // The index of the file the stack was made for.
    qsizetype current = 0;
};

// The stack of the file among the DICOM files of its folder (as
// studyfolder::dicomFileNames lists them). None when the file itself cannot
// be read as DICOM (missing, not a file, cut short, damaged).
std::optional<Stack> stackOf(const QString& file);

// The stack of the file among the candidates, e.g. the files of one series
// record of a DICOMDIR. The file belongs to its stack whether listed or not;
// candidates that are not ordinary files are never opened, and those that
// cannot be read are left out.
std::optional<Stack> stackOf(const QString& file, const QStringList& candidates);

} // namespace seriesstack
