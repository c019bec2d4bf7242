#include "CrxToZip.h"

#include "platform/automation/AutomationError.h"

#include <QFile>
#include <QSaveFile>

namespace crx {

namespace {

constexpr std::int32_t FileAccess = 75;
constexpr qint64 CopyChunkBytes = 1024 * 1024;
constexpr quint32 Version3 = 3;

[[noreturn]] void notAPackage(const char* why) {
    throw AutomationError(NotAPackage, QStringLiteral("Pas un fichier CRX (%1)").arg(why));
}

std::uint64_t littleEndian32(const QByteArray& bytes, int at) {
    std::uint64_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

[[noreturn]] void fileError(const QFileDevice& file) {
    throw AutomationError(FileAccess, file.fileName() + QStringLiteral(": ") + file.errorString());
}

} // namespace

std::int64_t archiveOffset(const QByteArray& head, std::int64_t size) {
    if (head.size() < 4 || !head.startsWith("Cr24"))
        notAPackage("no package magic");
    if (head.size() < 12)
        notAPackage("truncated header");
    const std::uint64_t version = littleEndian32(head, 4);
    std::uint64_t offset = 0;
    if (version == Version3) {
        offset = 12 + littleEndian32(head, 8);
    } else {
        if (head.size() < HeadBytes)
            notAPackage("truncated header");
        offset = HeadBytes + littleEndian32(head, 8) + littleEndian32(head, 12);
    }
    if (size <= 0 || offset >= static_cast<std::uint64_t>(size))
        notAPackage("header runs past the end of the file");
    return static_cast<std::int64_t>(offset);
}

void convertFile(const QString& crxPath, const QString& zipPath) {
    QFile input(crxPath);
    if (!input.open(QIODevice::ReadOnly))
        fileError(input);
    const std::int64_t offset = archiveOffset(input.read(HeadBytes), input.size());
    QSaveFile output(zipPath);
    if (!input.seek(offset) || !output.open(QIODevice::WriteOnly))
        fileError(output);
    while (!input.atEnd()) {
        const QByteArray chunk = input.read(CopyChunkBytes);
        if (chunk.isEmpty())
            fileError(input);
        if (output.write(chunk) != chunk.size())
            fileError(output);
    }
    if (!output.commit())
        fileError(output);
}

} // namespace crx
