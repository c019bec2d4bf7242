#include "modShellExtended.h"

#include "modOperationFichierSimple.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace shellopen {

namespace {

// "C:/x/prog.exe -a -b" is a program followed by its parameters; ".lnk" files are documents.
std::pair<QString, QString> splitProgram(const QString& file, const QString& parameters) {
    const qsizetype exe = file.indexOf(QLatin1String(".exe"), 0, Qt::CaseInsensitive);
    if (exe < 0 || file.endsWith(QLatin1String(".lnk"), Qt::CaseInsensitive))
        return {file, parameters};
    const QString extra = file.mid(exe + 4).trimmed();
    return {file.left(exe + 4), (extra + QLatin1Char(' ') + parameters).trimmed()};
}

} // namespace

bool open(const QString& file, const QString& parameters, QWidget*) {
    const auto [target, arguments] = splitProgram(file, parameters);
    const QFileInfo info(target);
    if (info.isFile() && info.isExecutable()) {
        return QProcess::startDetached(info.absoluteFilePath(), QProcess::splitCommand(arguments),
                                       info.absolutePath());
    }
    const QUrl url =
        info.exists() ? QUrl::fromLocalFile(info.absoluteFilePath()) : QUrl::fromUserInput(target);
    return url.isValid() && QDesktopServices::openUrl(url);
}

} // namespace shellopen
