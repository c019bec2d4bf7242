// Extension package headers and the conversion to ZIP on arbitrary bytes: the package is
// refused with its own error, or the archive written is exactly the bytes after the header,
// which starts inside the file.

#include "FuzzSupport.h"

#include "browser_host/CrxToZip.h"
#include "platform/automation/AutomationError.h"

#include <QFile>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray package = fuzz::bytesOf(data, size);
    std::int64_t offset = -1;
    try {
        offset = crx::archiveOffset(package.left(crx::HeadBytes), package.size());
    } catch (const AutomationError& error) {
        fuzz::require(error.number() == crx::NotAPackage, "only the package error is raised");
    }
    fuzz::require(offset == -1 || (offset >= 12 && offset < package.size()),
                  "the archive starts inside the file, after the header");
    const fuzz::ScratchFolder folder;
    const QString crxPath = folder.write(QStringLiteral("p.crx"), package);
    const QString zipPath = folder.filePath(QStringLiteral("p.zip"));
    try {
        crx::convertFile(crxPath, zipPath);
    } catch (const AutomationError&) {
        fuzz::require(offset == -1, "a package with a valid header converts");
        fuzz::require(!QFile::exists(zipPath), "a refused package leaves no archive");
        return 0;
    }
    QFile zip(zipPath);
    fuzz::require(zip.open(QIODevice::ReadOnly) && zip.readAll() == package.mid(offset),
                  "the archive is the bytes after the header");
    return 0;
}
