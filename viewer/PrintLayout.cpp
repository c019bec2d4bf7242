#include "PrintLayout.h"

#include "platform/PrinterSeam.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>

#include <cmath>

namespace printlayout {

namespace {

constexpr double TwipsPerInch = 1440.0;

// The header's two lines: the first 12-point bold, the next 10-point italic,
// below an empty 8-point line, in red so they stay legible over the picture.
void drawHeader(QPainter& painter, double dotsPerTwip, const QString& header) {
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.setPen(QColor(255, 0, 0));
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(8);
    double y = 20 * dotsPerTwip + QFontMetricsF(font, painter.device()).height();
    double x = 0;
    font.setPointSizeF(12);
    font.setBold(true);
    for (const QString& part : header.split(QLatin1Char('|'))) {
        painter.setFont(font);
        const QFontMetricsF metrics(font, painter.device());
        painter.drawText(QPointF(x, y + metrics.ascent()), part + QStringLiteral("   "));
        y += metrics.height() + 5 * dotsPerTwip;
        x = 15 * dotsPerTwip;
        font.setPointSizeF(10);
        font.setBold(false);
        font.setItalic(true);
    }
}

QRectF toDots(const QRectF& twips, double dotsPerTwip) {
    return {twips.x() * dotsPerTwip, twips.y() * dotsPerTwip, twips.width() * dotsPerTwip,
            twips.height() * dotsPerTwip};
}

} // namespace

QString headerText(const QString& patientName, const QString& birthDate, const QString& examDate) {
    if (patientName.isEmpty() && birthDate.isEmpty() && examDate.isEmpty())
        return {};
    return patientName + QStringLiteral(" (") + birthDate + QStringLiteral(")|Date : ") + examDate;
}

QPageLayout::Orientation orientationFor(const QSize& picture) {
    return picture.width() > picture.height() ? QPageLayout::Landscape : QPageLayout::Portrait;
}

QList<QRect> cells(const QRect& area, int rows, int columns) {
    const int width =
        static_cast<int>(std::lround(double(area.width() + CellGap) / columns)) - CellGap;
    const int height =
        static_cast<int>(std::lround(double(area.height() + CellGap) / rows)) - CellGap;
    QList<QRect> result;
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < columns; ++column)
            result.append(QRect(area.left() + column * (CellGap + width),
                                area.top() + row * (CellGap + height), width, height));
    return result;
}

QRectF fitPicture(const QRect& cell, const QSize& picture) {
    double factor = double(cell.width()) / picture.width();
    double x = cell.left();
    double y = cell.top();
    if (double(cell.height()) / picture.height() > factor) {
        y += std::lround((cell.height() - picture.height() * factor) / 2);
    } else {
        factor = double(cell.height()) / picture.height();
        x += std::lround((cell.width() - picture.width() * factor) / 2);
    }
    return {x, y, picture.width() * factor, picture.height() * factor};
}

std::optional<QString> printPicture(const QString& printerName, const QImage& picture,
                                    const QString& header, bool printId) {
    if (picture.isNull())
        return QStringLiteral("the picture to print could not be read");
    QPrinter printer(QPrinter::HighResolution);
    if (!printerName.isEmpty())
        printer.setPrinterName(printerName);
    printer.setCopyCount(1);
    printer.setDocName(QStringLiteral("KestDicomView"));
    printer.setPageOrientation(orientationFor(picture.size()));
    printing::prepareJob(printer);
    QPainter painter;
    if (!painter.begin(&printer)) {
        if (printerName.isEmpty())
            return QStringLiteral("no printer is installed");
        return QStringLiteral("the printer %1 could not start the job").arg(printerName);
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const double dotsPerTwip = printer.resolution() / TwipsPerInch;
    const QRect area(0, 0, static_cast<int>(std::lround(printer.width() / dotsPerTwip)),
                     static_cast<int>(std::lround(printer.height() / dotsPerTwip)));
    for (const QRect& cell : cells(area, 1, 1))
        painter.drawImage(toDots(fitPicture(cell, picture.size()), dotsPerTwip), picture);
    if (printId && !header.isEmpty())
        drawHeader(painter, dotsPerTwip, header);
    if (!painter.end())
        return QStringLiteral("the print job could not be finished");
    return std::nullopt;
}

} // namespace printlayout
