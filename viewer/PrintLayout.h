#pragma once

#include <QImage>
#include <QList>
#include <QPageLayout>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QString>

#include <optional>

// The print layout of the image outputs: the picture aspect-fitted and
// centred in the cells of a grid over the printable area, one picture per
// cell, with the patient header over the picture's top left. Positions and
// sizes are in twips (1/1440 inch) from the printable area's top left.
namespace printlayout {

constexpr int CellGap = 150;

// "Name (birth date)|Date : exam date", or empty when the three values are.
QString headerText(const QString& patientName, const QString& birthDate, const QString& examDate);

// Landscape for a picture wider than high, else portrait.
QPageLayout::Orientation orientationFor(const QSize& picture);

// The grid's cells over the area, rows outer and columns inner, CellGap apart.
QList<QRect> cells(const QRect& area, int rows, int columns);

// The picture scaled to fill the cell in one direction, keeping its aspect
// ratio, and centred in the other.
QRectF fitPicture(const QRect& cell, const QSize& picture);

// Prints the picture on one page of the printer with that device name (the
// system's default printer when empty), with the header when printId is set
// and the header is not empty. The printer seam may redirect the job. The
// reason when the job could not be printed.
std::optional<QString> printPicture(const QString& printerName, const QImage& picture,
                                    const QString& header, bool printId);

} // namespace printlayout
