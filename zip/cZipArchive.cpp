#include "zip/cZipArchive.h"

#include "zip/EntryDecoder.h"
#include "zip/EntryEncoder.h"
#include "zip/EntrySelection.h"
#include "zip/ExtractTarget.h"
#include "zip/FolderWalk.h"
#include "zip/NameCodec.h"
#include "zip/PendingEntry.h"
#include "zip/ZipDirectoryReader.h"
#include "zip/ZipDirectoryWriter.h"
#include "zip/ZipEntry.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QSaveFile>

#include <zlib.h>

#include <algorithm>

namespace {

QString sourceText(const QString& operation) {
    return QStringLiteral("cZipArchive.") + operation;
}

} // namespace

struct cZipArchive::Private {
    std::unique_ptr<QIODevice> ownedDevice;
    QPointer<QIODevice> device;
    QList<ZipEntry> entries;
    QString comment;
    int codePage = NameCodec::OemCodePage;
    QString lastError;
    int currentIndex = -1;
    bool cancel = false;
    bool failed = false;
    QList<PendingEntry> pending;
    QList<ZipRecords::EntryHeader> written;
};

cZipArchive::cZipArchive(QObject* parent)
    : QObject(parent)
    , d(std::make_unique<Private>()) {
}

cZipArchive::~cZipArchive() = default;

QString cZipArchive::SemVersion() {
    return QStringLiteral("0.3.2");
}

QString cZipArchive::ThunkBuildDate() {
    return QStringLiteral("zlib ") + QLatin1String(zlibVersion());
}

QString cZipArchive::LastError() const {
    return d->lastError;
}

void cZipArchive::setLastError(const QString& text) {
    d->lastError = text;
}

int cZipArchive::FileCount() const {
    return static_cast<int>(d->entries.size());
}

int cZipArchive::CodePage() const {
    return d->codePage;
}

void cZipArchive::setCodePage(int codePage) {
    d->codePage = codePage;
}

QString cZipArchive::Comment() const {
    return d->comment;
}

QVariant cZipArchive::FileInfo(const QVariant& File, int InfoIdx) const {
    const qsizetype index = EntrySelection::indexOf(d->entries, File);
    if (index < 0 || InfoIdx > Flags)
        return {};
    const ZipEntry& e = d->entries[index];
    const QVariantList fields = {
        e.fileName, e.attributes,   e.crc32,  qulonglong(e.size),   qulonglong(e.compressedSize),
        e.comment,  e.lastModified, e.method, qulonglong(e.offset), e.flags};
    return InfoIdx < 0 ? QVariant(fields) : fields[InfoIdx];
}

bool cZipArchive::pvReportError(const QString& operation, const QString& description,
                                bool canContinue) {
    d->lastError = description;
    d->failed = true;
    bool cancel = !canContinue;
    QString source = sourceText(operation);
    QString text = description;
    emit Error(d->currentIndex, source, text, cancel);
    d->cancel = cancel;
    return !cancel;
}

bool cZipArchive::pvFail(const QString& operation, const QString& description) {
    pvReportError(operation, description, false);
    return false;
}

bool cZipArchive::pvReportException(const QString& operation, const std::exception& error) {
    return pvReportError(operation + QStringLiteral("\r\nOpenSSL"),
                         QString::fromLocal8Bit(error.what()), false);
}

bool cZipArchive::pvReportProgress(int index, quint64 done, quint64 total) {
    bool stop = false;
    emit Progress(index, qint64(done), qint64(total), stop);
    return !stop;
}

void cZipArchive::pvBegin() {
    d->lastError.clear();
    d->currentIndex = -1;
    d->cancel = false;
    d->failed = false;
}

bool cZipArchive::OpenArchive(const QString& ArchiveFile) {
    pvBegin();
    auto file = std::make_unique<QFile>(ArchiveFile);
    if (!file->open(QIODevice::ReadOnly)) {
        d->entries.clear();
        d->device = nullptr;
        return pvFail(QStringLiteral("OpenArchive"),
                      QStringLiteral("CreateFile (%1): %2").arg(ArchiveFile, file->errorString()));
    }
    d->ownedDevice = std::move(file);
    d->device = d->ownedDevice.get();
    return pvOpen();
}

bool cZipArchive::OpenArchive(const QByteArray& ArchiveFile) {
    pvBegin();
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(ArchiveFile);
    buffer->open(QIODevice::ReadOnly);
    d->ownedDevice = std::move(buffer);
    d->device = d->ownedDevice.get();
    return pvOpen();
}

bool cZipArchive::OpenArchive(QIODevice* ArchiveFile) {
    pvBegin();
    if (!ArchiveFile || !ArchiveFile->isReadable()) {
        d->entries.clear();
        d->device = nullptr;
        pvReportError(QStringLiteral("OpenArchive"), QStringLiteral("Invalid stream"), false);
        return false;
    }
    if (ArchiveFile->isSequential()) {
        // Random access is needed: a stream that cannot seek is read whole.
        auto buffer = std::make_unique<QBuffer>();
        buffer->setData(ArchiveFile->readAll());
        buffer->open(QIODevice::ReadOnly);
        d->ownedDevice = std::move(buffer);
        d->device = d->ownedDevice.get();
    } else {
        d->ownedDevice.reset();
        d->device = ArchiveFile;
    }
    return pvOpen();
}

bool cZipArchive::pvOpen() {
    ZipDirectoryReader reader(
        *d->device, d->codePage, [this](const QString& description, bool canContinue) {
            return pvReportError(canContinue ? QStringLiteral("pvLoadFileInfo")
                                             : QStringLiteral("OpenArchive"),
                                 description, canContinue);
        });
    const bool ok = reader.read();
    d->entries = ok ? reader.takeEntries() : QList<ZipEntry>();
    d->comment = reader.comment();
    if (!ok)
        d->device = nullptr;
    return ok && !d->failed;
}

QList<int> cZipArchive::pvSelect(const QVariant& filter) const {
    return EntrySelection::select(d->entries, filter);
}

bool cZipArchive::Extract(const QString& OutputTarget, const QVariant& Filter,
                          const QString& Password) {
    pvBegin();
    if (!d->device)
        return pvFail(QStringLiteral("Extract"), QStringLiteral("Archive not opened"));
    QString root = QDir::cleanPath(QFileInfo(OutputTarget).absoluteFilePath());
    QString pattern;
    const QFileInfo info(OutputTarget);
    const bool toFile = info.fileName().contains(QLatin1Char('*')) ||
                        (info.isFile() && pvSelect(Filter).size() == 1);
    if (toFile) {
        pattern = info.fileName();
        root = QDir::cleanPath(info.absolutePath());
    }
    if (!QDir().mkpath(root))
        return pvFail(QStringLiteral("Extract"),
                      QStringLiteral("CreateDirectory (%1): cannot create the folder").arg(root));
    return pvExtract(*ExtractTarget::folder(root, pattern), Filter, Password);
}

bool cZipArchive::Extract(QByteArray& OutputTarget, const QVariant& Filter,
                          const QString& Password) {
    pvBegin();
    return pvExtract(*ExtractTarget::bytes(OutputTarget), Filter, Password);
}

bool cZipArchive::Extract(QIODevice* OutputTarget, const QVariant& Filter,
                          const QString& Password) {
    pvBegin();
    if (!OutputTarget || !OutputTarget->isWritable())
        return pvFail(QStringLiteral("Extract"), QStringLiteral("Invalid stream"));
    return pvExtract(*ExtractTarget::stream(*OutputTarget), Filter, Password);
}

bool cZipArchive::pvExtract(ExtractTarget& target, const QVariant& filter,
                            const QString& password) {
    if (!d->device)
        return pvFail(QStringLiteral("Extract"), QStringLiteral("Archive not opened"));
    const QByteArray passwordBytes = password.toUtf8();
    try {
        for (int index : pvSelect(filter)) {
            d->currentIndex = index;
            if (!pvExtractEntry(target, index, passwordBytes) && d->cancel)
                break;
        }
    } catch (const std::exception& error) {
        target.discard();
        pvReportException(QStringLiteral("Extract"), error);
    }
    return !d->failed;
}

bool cZipArchive::pvExtractEntry(ExtractTarget& target, int index, const QByteArray& password) {
    const QString operation = QStringLiteral("Extract");
    const ZipEntry& entry = d->entries[index];
    QString error;
    QVariant file = target.describe(entry, error);
    if (!error.isEmpty())
        return pvReportError(operation, error, true);
    bool skip = false, cancel = false;
    emit BeforeExtract(index, file, skip, cancel);
    if (cancel) {
        d->cancel = true;
        return pvReportError(operation, QStringLiteral("User cancelled"), false);
    }
    if (skip)
        return true;
    error = target.begin(entry, file);
    if (error.isEmpty() && !entry.isFolder()) {
        EntryDecoder decoder(*d->device, entry, index + 1, password);
        error = decoder.decode({[&target](QByteArrayView bytes) { return target.write(bytes); },
                                [this, index](quint64 done, quint64 total) {
                                    return pvReportProgress(index, done, total);
                                },
                                [this, &operation](const QString& description) {
                                    return pvReportError(operation, description, true);
                                }});
    }
    if (error.isEmpty())
        error = target.commit(entry);
    if (!error.isEmpty()) {
        target.discard();
        return pvReportError(operation, error, false);
    }
    emit ExtractComplete(index, file);
    return true;
}

bool cZipArchive::AddFile(const QString& File, const QString& Name, const QString& Comment,
                          const QString& Password, int EncrStrength, int Level) {
    const QString name = Name.isEmpty() ? QFileInfo(File).fileName() : Name;
    return pvAddEntry(File, name, Comment, Password, EncrStrength, Level);
}

bool cZipArchive::AddFile(const QByteArray& File, const QString& Name, const QString& Comment,
                          const QString& Password, int EncrStrength, int Level) {
    return pvAddEntry(File, Name, Comment, Password, EncrStrength, Level);
}

bool cZipArchive::AddFile(QIODevice* File, const QString& Name, const QString& Comment,
                          const QString& Password, int EncrStrength, int Level) {
    return pvAddEntry(QVariant::fromValue(static_cast<QObject*>(File)), Name, Comment, Password,
                      EncrStrength, Level);
}

bool cZipArchive::pvAddEntry(QVariant source, const QString& name, const QString& comment,
                             const QString& password, int strength, int level) {
    pvBegin();
    PendingEntry entry;
    if (const QString error = entry.assign(source, name); !error.isEmpty())
        return pvFail(QStringLiteral("AddFile"), error);
    entry.comment = comment;
    entry.password = password;
    entry.strength = strength;
    entry.level = level;
    d->pending.append(std::move(entry));
    return true;
}

bool cZipArchive::AddFromFolder(const QString& sFolderAndMask, bool Recursive,
                                const QString& TargetFolder, bool IncludeEmptyFolders,
                                const QString& Password, int EncrStrength, int Level) {
    const QList<FolderItem> items =
        walkFolder(sFolderAndMask, Recursive, TargetFolder, IncludeEmptyFolders);
    for (const FolderItem& item : items) {
        const bool added = item.path.isEmpty()
                               ? pvAddEntry({}, item.name, {}, {}, 0, Level)
                               : AddFile(item.path, item.name, {}, Password, EncrStrength, Level);
        if (!added)
            return false;
    }
    pvBegin();
    if (items.isEmpty())
        pvReportError(QStringLiteral("AddFromFolder"),
                      QStringLiteral("FindFirstFile (%1): no matching files").arg(sFolderAndMask),
                      false);
    return !items.isEmpty();
}

bool cZipArchive::CompressArchive(const QString& ArchiveFile, const QString& Comment, int Level,
                                  Utf8Mode UseUtf8, Zip64Mode UseZip64) {
    pvBegin();
    QSaveFile file(ArchiveFile);
    if (d->pending.isEmpty() || !file.open(QIODevice::WriteOnly)) {
        const QString error =
            d->pending.isEmpty()
                ? QStringLiteral("Empty archive")
                : QStringLiteral("CreateFile (%1): %2").arg(ArchiveFile, file.errorString());
        return pvFail(QStringLiteral("CompressArchive"), error);
    }
    if (!pvCompress(file, Comment, Level, UseUtf8, UseZip64))
        return false;
    if (!file.commit())
        return pvFail(QStringLiteral("CompressArchive"),
                      QStringLiteral("WriteFile (%1): %2").arg(ArchiveFile, file.errorString()));
    return true;
}

bool cZipArchive::CompressArchive(QByteArray& ArchiveFile, const QString& Comment, int Level,
                                  Utf8Mode UseUtf8, Zip64Mode UseZip64) {
    pvBegin();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const bool ok = pvCompress(buffer, Comment, Level, UseUtf8, UseZip64);
    buffer.close();
    if (ok)
        ArchiveFile = std::move(bytes);
    return ok;
}

bool cZipArchive::CompressArchive(QIODevice* ArchiveFile, const QString& Comment, int Level,
                                  Utf8Mode UseUtf8, Zip64Mode UseZip64) {
    pvBegin();
    if (!ArchiveFile || !ArchiveFile->isWritable() || ArchiveFile->isSequential())
        return pvFail(QStringLiteral("CompressArchive"),
                      QStringLiteral("Invalid stream: the output must be writable and "
                                     "seekable"));
    return pvCompress(*ArchiveFile, Comment, Level, UseUtf8, UseZip64);
}

bool cZipArchive::pvCompress(QIODevice& output, const QString& comment, int level, Utf8Mode useUtf8,
                             Zip64Mode useZip64) {
    const QString operation = QStringLiteral("CompressArchive");
    if (d->pending.isEmpty())
        return pvFail(operation, QStringLiteral("Empty archive"));
    d->written.clear();
    try {
        for (int index = 0; index < d->pending.size(); ++index) {
            d->currentIndex = index;
            if (!pvCompressEntry(output, index, level, useUtf8, useZip64) && d->cancel)
                return false;
        }
        d->currentIndex = -1;
        if (!pvFinishArchive(output, comment, useZip64) || d->failed)
            return false;
    } catch (const std::exception& error) {
        pvReportException(operation, error);
        return false;
    }
    d->pending.clear();
    return true;
}

bool cZipArchive::pvCompressEntry(QIODevice& output, int index, int level, Utf8Mode useUtf8,
                                  Zip64Mode useZip64) {
    const QString operation = QStringLiteral("CompressArchive");
    const PendingEntry& pending = d->pending[index];
    int entryLevel = pending.level < 0 ? level : pending.level;
    bool skip = false, cancel = false;
    emit BeforeCompress(index, entryLevel, skip, cancel);
    if (cancel)
        return pvReportError(operation, QStringLiteral("User cancelled"), false);
    if (skip)
        return true;

    const OpenedSource source = openSource(pending);
    if (!source.error.isEmpty())
        return pvReportError(operation, source.error, false);
    EntryEncoder encoder(
        output, entryHeader(pending, source, d->codePage, useUtf8),
        {std::clamp(entryLevel, 0, 9), pending.password.toUtf8(), pending.strength, useZip64});
    const QString error =
        encoder.encode(source.device, source.size, [this, index](quint64 done, quint64 total) {
            return pvReportProgress(index, done, total);
        });
    if (!error.isEmpty())
        return pvReportError(operation, error, false);
    d->written.append(encoder.centralHeader());
    return true;
}

bool cZipArchive::pvFinishArchive(QIODevice& output, const QString& comment, Zip64Mode useZip64) {
    const QString error =
        writeZipDirectory(output, d->written, NameCodec::encode(comment, d->codePage), useZip64);
    if (!error.isEmpty())
        return pvReportError(QStringLiteral("CompressArchive"), error, false);
    d->comment = comment;
    return true;
}

quint32 cZipArchive::CalcCrc32Array(const QByteArray& data) {
    return CalcCrc32Ptr(data.constData(), data.size());
}

quint32 cZipArchive::CalcCrc32Ptr(const void* data, qsizetype length) {
    return static_cast<quint32>(
        crc32_z(0, static_cast<const Bytef*>(data), static_cast<size_t>(length)));
}

QByteArray cZipArchive::ToUtf8Array(const QString& text) {
    return text.toUtf8();
}

QString cZipArchive::FromUtf8Array(const QByteArray& bytes) {
    return QString::fromUtf8(bytes);
}
