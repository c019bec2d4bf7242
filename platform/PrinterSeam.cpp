#include "PrinterSeam.h"

#include <QDir>
#include <QFileInfo>
#include <QPrinter>

#include <memory>

namespace printing {

namespace {

Hook& hook() {
    static Hook instance;
    return instance;
}

// The first free name after the last one handed out: a job prepared but not
// yet painted has no file, and must not share its name with the next job.
QString nextFreeName(const QDir& folder, int& last) {
    for (int n = last + 1;; ++n) {
        const QString path = folder.filePath(QStringLiteral("print-%1.pdf").arg(n));
        if (!QFileInfo::exists(path)) {
            last = n;
            return path;
        }
    }
}

} // namespace

void setHook(Hook newHook) {
    hook() = std::move(newHook);
}

const Hook& installedHook() {
    return hook();
}

void prepareJob(QPrinter& printer) {
    if (hook())
        hook()(printer);
}

Hook pdfFolderHook(const QString& folder) {
    const QString absolute = QFileInfo(folder).absoluteFilePath();
    auto last = std::make_shared<int>(0);
    return [absolute, last](QPrinter& printer) {
        QDir dir(absolute);
        dir.mkpath(QStringLiteral("."));
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(nextFreeName(dir, *last));
    };
}

} // namespace printing
