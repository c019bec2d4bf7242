#pragma once

#include <QImage>
#include <QSizeF>
#include <QString>
#include <QStringList>

// What poppler's command-line tools read from a PDF file.
namespace testing_support {

// The text of every page (pdftotext -layout); empty when it cannot be read.
QString pdfText(const QString& path);
int pdfPages(const QString& path);
// The first page's size in points, as pdfinfo reports it; empty when unknown.
QSizeF pdfPageSize(const QString& path);
// The names of the fonts used (pdffonts).
QStringList pdfFonts(const QString& path);
// The first page drawn at that resolution (pdftoppm).
QImage pdfPageImage(const QString& path, int dpi = 36);

// The rectangle around the pixels that differ from white, or an empty one.
QRect nonWhiteBounds(const QImage& image);

} // namespace testing_support
