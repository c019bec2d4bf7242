#include "zip/PendingEntry.h"

#include "zip/NameCodec.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>

using namespace ZipRecords;

namespace {

constexpr quint16 MadeByUnix = (3u << 8) | 63u;
constexpr quint32 DosDirectory = 0x10;
constexpr quint32 DosArchive = 0x20;
constexpr quint32 UnixDirectory = 0040000;
constexpr quint32 UnixRegular = 0100000;

quint32 unixMode(QFileDevice::Permissions permissions) {
    static const std::pair<QFileDevice::Permission, quint32> bits[] = {
        {QFileDevice::ReadOwner, 0400},  {QFileDevice::WriteOwner, 0200},
        {QFileDevice::ExeOwner, 0100},   {QFileDevice::ReadGroup, 0040},
        {QFileDevice::WriteGroup, 0020}, {QFileDevice::ExeGroup, 0010},
        {QFileDevice::ReadOther, 0004},  {QFileDevice::WriteOther, 0002},
        {QFileDevice::ExeOther, 0001}};
    quint32 mode = 0;
    for (const auto& [permission, bit] : bits)
        if (permissions & permission)
            mode |= bit;
    return mode;
}

quint32 regularFileAttributes(quint32 mode) {
    return ((UnixRegular | mode) << 16) | DosArchive;
}

void openFile(const QString& path, OpenedSource& opened) {
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly)) {
        opened.error = QStringLiteral("CreateFile (%1): %2").arg(path, file->errorString());
        return;
    }
    const QFileInfo info(path);
    opened.modified = info.lastModified();
    opened.externalAttributes = regularFileAttributes(unixMode(info.permissions()));
    opened.size = file->size();
    opened.device = file.get();
    opened.owned = std::move(file);
}

void openBytes(const QByteArray& bytes, OpenedSource& opened) {
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(bytes);
    buffer->open(QIODevice::ReadOnly);
    opened.size = bytes.size();
    opened.device = buffer.get();
    opened.owned = std::move(buffer);
}

void openStream(QIODevice* stream, OpenedSource& opened) {
    if (!stream) {
        opened.error = QStringLiteral("Invalid stream");
        return;
    }
    opened.device = stream;
    opened.size = stream->isSequential() ? -1 : stream->size() - stream->pos();
}

} // namespace

QString PendingEntry::assign(const QVariant& from, const QString& entryName) {
    name = QString(entryName).replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (name.isEmpty())
        return QStringLiteral("Entry name required");
    const bool folder = name.endsWith(QLatin1Char('/'));
    if (from.typeId() == QMetaType::QString && !folder)
        source = from.toString();
    else if (from.typeId() == QMetaType::QByteArray)
        source = from.toByteArray();
    else if (auto* device = qobject_cast<QIODevice*>(from.value<QObject*>()))
        source = QPointer<QIODevice>(device);
    else if (!folder)
        return QStringLiteral("Invalid stream");
    return {};
}

OpenedSource openSource(const PendingEntry& entry) {
    OpenedSource opened;
    opened.externalAttributes = regularFileAttributes(0644);
    if (const auto* path = std::get_if<QString>(&entry.source))
        openFile(*path, opened);
    else if (const auto* bytes = std::get_if<QByteArray>(&entry.source))
        openBytes(*bytes, opened);
    else if (const auto* stream = std::get_if<QPointer<QIODevice>>(&entry.source))
        openStream(stream->data(), opened);
    else
        opened.externalAttributes = ((UnixDirectory | 0755u) << 16) | DosDirectory;
    return opened;
}

EntryHeader entryHeader(const PendingEntry& entry, const OpenedSource& source, int codePage,
                        Utf8Mode utf8) {
    const bool inUtf8 = utf8 == Utf8Mode::Always ||
                        (utf8 == Utf8Mode::WhenNeeded &&
                         !(NameCodec::isAscii(entry.name) && NameCodec::isAscii(entry.comment)));
    const auto encode = [&](const QString& text) {
        return inUtf8 ? text.toUtf8() : NameCodec::encode(text, codePage);
    };
    EntryHeader header;
    header.madeBy = MadeByUnix;
    header.externalAttributes = source.externalAttributes;
    header.flags = inUtf8 ? FlagUtf8 : 0;
    header.name = encode(entry.name);
    header.comment = encode(entry.comment);
    markCodePageText(header, entry.name, entry.comment);
    toDosTime(source.modified, header.dosDate, header.dosTime);
    return header;
}
