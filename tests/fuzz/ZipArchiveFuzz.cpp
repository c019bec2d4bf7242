// The ZIP directory reader and entry decoders on an arbitrary archive, opened from memory and
// from a file: listing and extracting (without a password and with the one the encrypted seeds
// use) always end, and an extraction writes nothing outside its target folder.

#include "FuzzSupport.h"

#include "zip/cZipArchive.h"

namespace {

const QString Password = QStringLiteral("kestfuzz");
constexpr int MaxEntries = 64;

void listAndExtractToMemory(cZipArchive& zip) {
    const int count = zip.FileCount();
    fuzz::require(count >= 0, "an open archive has a count of entries");
    for (int i = 0; i < qMin(count, MaxEntries); ++i) {
        fuzz::require(zip.FileInfo(i).isValid(), "every listed entry has its information");
        for (const QString& password : {QString(), Password}) {
            QByteArray contents;
            zip.Extract(contents, i, password);
        }
    }
    fuzz::require(!zip.FileInfo(count).isValid(), "no information past the last entry");
}

void extractFromFile(const fuzz::ScratchFolder& folder, const QByteArray& archive) {
    const QString path = folder.write(QStringLiteral("archive.zip"), archive);
    cZipArchive zip;
    if (!zip.OpenArchive(path))
        return;
    zip.Extract(folder.filePath(QStringLiteral("target")), {}, Password);
    for (const QString& entry : folder.entries())
        fuzz::require(entry == QLatin1String("archive.zip") || entry == QLatin1String("target") ||
                          entry.startsWith(QLatin1String("target/")),
                      "extraction writes only inside its target folder");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray archive = fuzz::bytesOf(data, size);
    {
        cZipArchive zip;
        if (zip.OpenArchive(archive))
            listAndExtractToMemory(zip);
    }
    const fuzz::ScratchFolder folder;
    extractFromFile(folder, archive);
    return 0;
}
