#include "zip/ExtractTarget.h"

#include "zip/EntryPath.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString withoutExtension(const QString& path) {
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return dot > path.lastIndexOf(QLatin1Char('/')) ? path.left(dot) : path;
}

} // namespace

FolderTarget::FolderTarget(QString root, QString namePattern)
    : m_root(std::move(root))
    , m_pattern(std::move(namePattern)) {
}

QVariant FolderTarget::describe(const ZipEntry& entry, QString& error) {
    if (entry.isSymbolicLink()) {
        error = QStringLiteral("Symbolic link entry not extracted (%1)").arg(entry.fileName);
        return {};
    }
    QString reason;
    const QString relative = EntryPath::safeRelativePath(outputName(entry), reason);
    if (relative.isEmpty()) {
        error =
            QStringLiteral("Unsafe entry name not extracted (%1): %2").arg(entry.fileName, reason);
        return {};
    }
    const QString path = m_root + QLatin1Char('/') + EntryPath::withPortableCharacters(relative);
    if (!EntryPath::resolvesInside(m_root, path)) {
        error = QStringLiteral("Entry leads outside the target folder (%1)").arg(path);
        return {};
    }
    return path;
}

QString FolderTarget::begin(const ZipEntry& entry, const QVariant& file) {
    const QString path = file.toString();
    const QString folder = entry.isFolder() ? path : QFileInfo(path).path();
    if (QString error = makeFolder(folder); !error.isEmpty() || entry.isFolder())
        return error;
    if (QFileInfo(path).isSymLink())
        return QStringLiteral("Refusing to write through a symbolic link (%1)").arg(path);
    m_file = std::make_unique<QSaveFile>(path);
    if (!m_file->open(QIODevice::WriteOnly))
        return QStringLiteral("CreateFile (%1): %2").arg(path, m_file->errorString());
    return {};
}

QString FolderTarget::write(QByteArrayView bytes) {
    if (m_file->write(bytes.data(), bytes.size()) != bytes.size())
        return QStringLiteral("WriteFile (%1): %2").arg(m_file->fileName(), m_file->errorString());
    return {};
}

QString FolderTarget::commit(const ZipEntry& entry) {
    if (!m_file)
        return {};
    const auto file = std::move(m_file);
    if (entry.lastModified.isValid() &&
        (!file->flush() ||
         !file->setFileTime(entry.lastModified, QFileDevice::FileModificationTime)))
        return QStringLiteral("SetFileTime (%1): %2").arg(file->fileName(), file->errorString());
    if (!file->commit())
        return QStringLiteral("WriteFile (%1): %2").arg(file->fileName(), file->errorString());
    return {};
}

void FolderTarget::discard() {
    m_file.reset(); // an uncommitted QSaveFile leaves nothing
}

QString FolderTarget::outputName(const ZipEntry& entry) const {
    if (m_pattern.isEmpty() || entry.isFolder())
        return entry.fileName;
    QString name = m_pattern;
    if (name.contains(QLatin1String("*.*")))
        return name.replace(QLatin1String("*.*"), entry.fileName);
    return name.replace(QLatin1Char('*'), withoutExtension(entry.fileName));
}

QString FolderTarget::makeFolder(const QString& folder) const {
    const QFileInfo info(folder);
    if (info.exists() && !info.isDir())
        return QStringLiteral("File already exists (%1)").arg(folder);
    if (!QDir().mkpath(folder))
        return QStringLiteral("CreateDirectory (%1): cannot create the folder").arg(folder);
    if (!EntryPath::resolvesInside(m_root, folder))
        return QStringLiteral("Entry leads outside the target folder (%1)").arg(folder);
    return {};
}

BytesTarget::BytesTarget(QByteArray& bytes)
    : m_bytes(bytes) {
}

QVariant BytesTarget::describe(const ZipEntry&, QString&) {
    return {};
}

QString BytesTarget::begin(const ZipEntry&, const QVariant&) {
    m_bytes.clear();
    return {};
}

QString BytesTarget::write(QByteArrayView bytes) {
    m_bytes.append(bytes);
    return {};
}

QString BytesTarget::commit(const ZipEntry&) {
    return {};
}

void BytesTarget::discard() {
    m_bytes.clear();
}

StreamTarget::StreamTarget(QIODevice& device)
    : m_device(device) {
}

QVariant StreamTarget::describe(const ZipEntry&, QString&) {
    return QVariant::fromValue(static_cast<QObject*>(&m_device));
}

QString StreamTarget::begin(const ZipEntry&, const QVariant&) {
    return {};
}

QString StreamTarget::write(QByteArrayView bytes) {
    if (m_device.write(bytes.data(), bytes.size()) != bytes.size())
        return QStringLiteral("WriteFile ([output_stream]): ") + m_device.errorString();
    return {};
}

QString StreamTarget::commit(const ZipEntry&) {
    return {};
}

void StreamTarget::discard() {
}
