#include "PdfTools.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace testing_support {

namespace {

QString run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString info(const QString& path, const QString& key) {
    const auto match = QRegularExpression(QStringLiteral("^%1:\\s*(.*)$").arg(key),
                                          QRegularExpression::MultilineOption)
                           .match(run(QStringLiteral("pdfinfo"), {path}));
    return match.hasMatch() ? match.captured(1).trimmed() : QString();
}

} // namespace

QString pdfText(const QString& path) {
    return run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
}

int pdfPages(const QString& path) {
    return info(path, QStringLiteral("Pages")).toInt();
}

QSizeF pdfPageSize(const QString& path) {
    const auto match = QRegularExpression(QStringLiteral("^([\\d.]+) x ([\\d.]+) pts"))
                           .match(info(path, QStringLiteral("Page size")));
    if (!match.hasMatch())
        return {};
    return {match.captured(1).toDouble(), match.captured(2).toDouble()};
}

QStringList pdfFonts(const QString& path) {
    QStringList names;
    const QStringList lines = run(QStringLiteral("pdffonts"), {path}).split(QLatin1Char('\n'));
    // Two heading lines, then one font a line, its name first.
    for (qsizetype i = 2; i < lines.size(); ++i)
        if (!lines[i].trimmed().isEmpty())
            names << lines[i].section(QLatin1Char(' '), 0, 0);
    return names;
}

QImage pdfPageImage(const QString& path, int dpi) {
    QTemporaryDir dir;
    const QString stem = dir.filePath(QStringLiteral("page"));
    run(QStringLiteral("pdftoppm"),
        {QStringLiteral("-png"), QStringLiteral("-r"), QString::number(dpi),
         QStringLiteral("-singlefile"), path, stem});
    return QImage(stem + QStringLiteral(".png"));
}

QRect nonWhiteBounds(const QImage& image) {
    QRect bounds;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x)
            if (qGray(rgb.pixel(x, y)) < 240)
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

} // namespace testing_support
