#include "zip/ZipDirectoryWriter.h"

using namespace ZipRecords;

namespace {

QString write(QIODevice& output, const QByteArray& bytes) {
    if (output.write(bytes) != bytes.size())
        return QStringLiteral("WriteFile ([output_archive]): ") + output.errorString();
    return {};
}

} // namespace

QString writeZipDirectory(QIODevice& output, const QList<EntryHeader>& headers,
                          const QByteArray& comment, Zip64Mode zip64) {
    const auto directoryOffset = quint64(output.pos());
    for (const EntryHeader& header : headers)
        if (QString error = write(output, centralHeader(header)); !error.isEmpty())
            return error;
    const quint64 directorySize = quint64(output.pos()) - directoryOffset;
    const quint64 count = quint64(headers.size());
    const bool needed = count >= Max16 || directoryOffset >= Max32 || directorySize >= Max32;
    if (needed && zip64 == Zip64Mode::Never)
        return QStringLiteral("Missing Zip64 extension above 4GB limit");
    return write(output, endRecords(count, directoryOffset, directorySize, comment.left(Max16),
                                    needed || zip64 == Zip64Mode::Always));
}
