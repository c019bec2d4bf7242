#include "modShellExtended.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace shellopen {

namespace {

DesktopHandler& installedHandler() {
    static DesktopHandler handler;
    return handler;
}

// "/x/prog.exe -a -b" is a program followed by its parameters; ".lnk" files are documents.
QString targetOf(const QString& file) {
    const qsizetype exe = file.indexOf(QLatin1String(".exe"), 0, Qt::CaseInsensitive);
    if (exe < 0 || file.endsWith(QLatin1String(".lnk"), Qt::CaseInsensitive))
        return file;
    return file.left(exe + 4);
}

// An existing file as a file URL, else an address with a scheme of its own; nothing else.
QUrl urlOf(const QString& target) {
    const QFileInfo info(target);
    if (info.exists())
        return QUrl::fromLocalFile(info.absoluteFilePath());
    const QUrl address(target);
    return address.isValid() && !address.isRelative() ? address : QUrl();
}

} // namespace

bool open(const QString& file, const QString&, QWidget*) {
    const QUrl url = urlOf(targetOf(file.trimmed()));
    if (url.isEmpty())
        return false;
    const DesktopHandler& handler = installedHandler();
    return handler ? handler(url) : QDesktopServices::openUrl(url);
}

void setDesktopHandler(DesktopHandler handler) {
    installedHandler() = std::move(handler);
}

} // namespace shellopen
