#include "PageAssets.h"

#include "platform/UiServices.h"
#include "platform/automation/AutomationError.h"
#include "support/modIni.h"
#include "support/modOperationFichierSimple.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUrl>

#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pageassets {

namespace {

const QString placeholderTemplate = QStringLiteral(
    "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\">"
    "<title>Kest Dicom View</title></head><body bgcolor=\"#000000\"><p align=\"center\"><b>"
    "<font color=\"#FFFF00\"  size=\"6\">KestDICOMView ActiveX</font></b></p></body></html>");

// Where a marker first occurs from an offset, or -1. The scan jumps from one
// occurrence of the marker's first byte to the next with memchr, which runs
// about ten times faster than a general substring search over the pixel data
// of a large image.
qsizetype indexOfMarker(QByteArrayView bytes, QByteArrayView marker, qsizetype from) {
    const char* const end = bytes.data() + bytes.size();
    const char* at = bytes.data() + from;
    while (end - at >= marker.size()) {
        const auto* first = static_cast<const char*>(
            std::memchr(at, marker.front(), std::size_t(end - at - marker.size() + 1)));
        if (!first)
            return -1;
        if (std::memcmp(first + 1, marker.data() + 1, std::size_t(marker.size() - 1)) == 0)
            return first - bytes.data();
        at = first + 1;
    }
    return -1;
}

bool writeBytes(const QString& path, QByteArrayView bytes) {
    QFile::remove(path);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           file.write(bytes.data(), bytes.size()) == bytes.size();
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The Bin folder's copy is replaced when it differs from the asset: a page
// filled from a newer template must not run an older script.
void refreshScript(const QString& source, const QString& target) {
    const QByteArray bytes = fileBytes(source);
    if (bytes.isEmpty())
        throw AutomationError::standard(vberr::FileNotFound);
    if (fileBytes(target) != bytes && !writeBytes(target, bytes))
        throw AutomationError::standard(vberr::PathFileAccessError);
}

} // namespace

const QStringList& libraryNames() {
    static const QStringList names = {
        QStringLiteral("cornerstone.js"),      QStringLiteral("cornerstoneMath.js"),
        QStringLiteral("cornerstoneTools.js"), QStringLiteral("cornerstoneWADOImageLoader.min.js"),
        QStringLiteral("dicomParser.js"),      QStringLiteral("hammer.js"),
    };
    return names;
}

const QStringList& pageScriptNames() {
    static const QStringList names = {
        QStringLiteral("imageScripts.js"),
        QStringLiteral("tagsScripts.js"),
        QStringLiteral("dicomdirScripts.js"),
        QStringLiteral("reportScripts.js"),
    };
    return names;
}

QString placeholderPage() {
    QString page = placeholderTemplate;
    return page.replace(QStringLiteral("KestDICOMView ActiveX"), QStringLiteral("..."));
}

void deployLibraries(const QString& assetFolder, const QString& binFolder, bool force) {
    if (force) {
        const QDir bin(binFolder);
        for (const QString& name : bin.entryList(QDir::Files | QDir::Hidden))
            QFile::remove(bin.filePath(name));
    }
    for (const QString& name : libraryNames()) {
        const QString target = files::withTrailingSeparator(binFolder) + name;
        if (files::fileExists(target))
            continue;
        if (!QFile::copy(files::withTrailingSeparator(assetFolder) + name, target))
            throw AutomationError::standard(vberr::FileNotFound);
    }
    for (const QString& name : pageScriptNames())
        refreshScript(files::withTrailingSeparator(assetFolder) + name,
                      files::withTrailingSeparator(binFolder) + name);
}

QString substituteCaptions(QString text, const QString& prefix, const QString& language,
                           const QString& localeIni) {
    for (int i = 1; i <= 256; ++i) {
        const QString key = prefix + QString::number(i);
        const QString caption = ini::readValue(language, key, {}, localeIni);
        if (caption.isEmpty())
            break;
        text.replace(QLatin1Char('#') + key + QLatin1Char('#'), caption);
    }
    return text;
}

namespace {

// Text for an HTML attribute or element: quotes and markup characters escaped.
QString htmlText(const QString& text) {
    return text.toHtmlEscaped().replace(QLatin1Char(0x27), QStringLiteral("&#39;"));
}

// A CSP source matching a local path: "file://*" (Chromium refuses an empty
// host in a source, and the wildcard is the one that matches a file URL's)
// and the path with every byte but letters, digits, "-._~" and "/"
// percent-encoded, so that no quote, space, ";" or "," of a folder name can
// end the source, the directive or the attribute.
QString localSource(const QString& path) {
    return QStringLiteral("file://*") +
           QString::fromLatin1(QUrl::toPercentEncoding(path, QByteArrayLiteral("/")));
}

// The pages of an instance folder load their libraries and scripts from the
// Bin folder two levels up.
QString binSource(const QString& instanceFolder) {
    return localSource(QDir::cleanPath(instanceFolder + QStringLiteral("/../../Bin")) +
                       QLatin1Char('/'));
}

} // namespace

QString scriptSources(const QString& instanceFolder, bool withFileList) {
    QString sources = binSource(instanceFolder);
    if (withFileList)
        sources += QLatin1Char(' ') +
                   localSource(QDir::cleanPath(instanceFolder) + QStringLiteral("/liste.js"));
    return sources;
}

void writePageFile(const QString& templatePath, const QString& pagePath, const QString& rootFolder,
                   const QString& captionPrefix, const QString& language,
                   const QString& localeIni) {
    if (files::fileExists(pagePath))
        return;
    QString text = files::readTextFile(templatePath);
    text.replace(QStringLiteral("###SCRIPTSRC###"), scriptSources(rootFolder, true));
    text.replace(QStringLiteral("###ROOTDIR###"), htmlText(rootFolder));
    if (!captionPrefix.isEmpty())
        text = substituteCaptions(text, captionPrefix, language, localeIni);
    files::writeTextFile(text, pagePath, false);
}

QString dicomdirPage(QString templateText, const QString& folder, const QString& instanceFolder) {
    return templateText
        .replace(QStringLiteral("###SCRIPTSRC###"), scriptSources(instanceFolder, false))
        .replace(QStringLiteral("###DICOMDIR###"), htmlText(folder));
}

QString fileListScript(const QString& workingCopyName) {
    // The name is written as a script string literal: quotes, backslashes and
    // line breaks in a file name must not end it and run as script.
    const QByteArray array =
        QJsonDocument(QJsonArray{workingCopyName}).toJson(QJsonDocument::Compact);
    QString literal = QString::fromUtf8(array.mid(1, array.size() - 2));
    literal.replace(QChar(0x2028), QStringLiteral("\\u2028"))
        .replace(QChar(0x2029), QStringLiteral("\\u2029"));
    return QStringLiteral("window.dicomFileList = [\r\n") + literal + QStringLiteral("\r\n];\r\n");
}

QString extractPdf(const QString& workingCopy, const QString& instanceFolder) {
    // Byte-exact: the document is copied as the file holds it. The file is
    // mapped, not read: an image file is scanned without a copy in memory.
    QFile file(workingCopy);
    if (!file.open(QIODevice::ReadOnly) || file.size() == 0)
        return {};
    const uchar* mapped = file.map(0, file.size());
    if (!mapped)
        return {};
    const QByteArrayView bytes(mapped, file.size());
    const qsizetype start = indexOfMarker(bytes, "%PDF", 0);
    if (start < 0)
        return {};
    const qsizetype eof = indexOfMarker(bytes, "%EOF", start);
    if (eof < 0)
        return {};
    const qsizetype end = std::min<qsizetype>(eof + 5, bytes.size());
    const QString target = files::withTrailingSeparator(instanceFolder) + QStringLiteral("PDF.pdf");
    if (!writeBytes(target, bytes.sliced(start, end - start))) {
        ui::messageBox(QStringLiteral("Erreur : 75\n") +
                           AutomationError::standardDescription(vberr::PathFileAccessError),
                       ui::MsgBox::Exclamation, QStringLiteral("Erreur"));
        return {};
    }
    return target;
}

bool isDicomFile(const QString& path) {
    return !path.isEmpty() && isDicomFileAt(AT_FDCWD, QFile::encodeName(path).constData());
}

bool isDicomFileAt(int folderFd, const char* name) {
    // Opened without waiting and checked to be an ordinary file: a FIFO or a
    // device named like a DICOM file must neither block nor be read.
    const int fd = ::openat(folderFd, name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    char signature[4] = {};
    const bool dicom = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
                       pread(fd, signature, sizeof signature, 128) == sizeof signature &&
                       std::memcmp(signature, "DICM", sizeof signature) == 0;
    ::close(fd);
    return dicom;
}

} // namespace pageassets
