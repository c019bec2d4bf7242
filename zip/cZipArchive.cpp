#include "zip/cZipArchive.h"

#include "zip/EntryDecoder.h"
#include "zip/EntryEncoder.h"
#include "zip/EntryPath.h"
#include "zip/NameCodec.h"
#include "zip/ZipDirectoryReader.h"
#include "zip/ZipEntry.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QQueue>
#include <QSaveFile>

#include <zlib.h>

#include <variant>

using namespace ZipRecords;

namespace {

constexpr quint16 MadeByUnix = (3u << 8) | 63u;
constexpr quint32 DosDirectory = 0x10;
constexpr quint32 DosArchive = 0x20;
constexpr quint32 UnixDirectory = 0040000;
constexpr quint32 UnixRegular = 0100000;

QString sourceText(const QString& operation) {
    return QStringLiteral("cZipArchive.") + operation;
}

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

bool isText(const QVariant& value) {
    return value.typeId() == QMetaType::QString;
}

QString withoutExtension(const QString& path) {
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return dot > path.lastIndexOf(QLatin1Char('/')) ? path.left(dot) : path;
}

} // namespace

// A queued entry: its source is a file path, bytes or a stream; a folder entry has none.
struct PendingEntry {
    std::variant<std::monostate, QString, QByteArray, QPointer<QIODevice>> source;
    QString name;
    QString comment;
    QString password;
    int strength = 0;
    int level = -1;
};

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
    QList<EntryHeader> written;
};

// Where Extract puts decoded entries: files under a folder, a byte array or a stream.
class ExtractTarget {
public:
    virtual ~ExtractTarget() = default;
    // The value reported as `File` with the events; an empty error means the entry may go on.
    virtual QVariant describe(const ZipEntry& entry, QString& error) = 0;
    virtual QString begin(const ZipEntry& entry, const QVariant& file) = 0;
    virtual QString write(QByteArrayView bytes) = 0;
    virtual QString commit(const ZipEntry& entry) = 0;
    // Drops what an entry that failed has written, where the target allows it.
    virtual void discard() = 0;
};

namespace {

// Files under a folder. Nothing is written outside the folder, and a file appears under its
// own name only once its data has passed every check.
class FolderTarget : public ExtractTarget {
public:
    FolderTarget(QString root, QString namePattern)
        : m_root(std::move(root))
        , m_pattern(std::move(namePattern)) {}

    QVariant describe(const ZipEntry& entry, QString& error) override {
        if (entry.isSymbolicLink()) {
            error = QStringLiteral("Symbolic link entry not extracted (%1)").arg(entry.fileName);
            return {};
        }
        QString reason;
        const QString relative = EntryPath::safeRelativePath(outputName(entry), reason);
        if (relative.isEmpty()) {
            error = QStringLiteral("Unsafe entry name not extracted (%1): %2")
                        .arg(entry.fileName, reason);
            return {};
        }
        const QString path =
            m_root + QLatin1Char('/') + EntryPath::withPortableCharacters(relative);
        if (!EntryPath::resolvesInside(m_root, path)) {
            error = QStringLiteral("Entry leads outside the target folder (%1)").arg(path);
            return {};
        }
        return path;
    }

    QString begin(const ZipEntry& entry, const QVariant& file) override {
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

    QString write(QByteArrayView bytes) override {
        if (m_file->write(bytes.data(), bytes.size()) != bytes.size())
            return QStringLiteral("WriteFile (%1): %2")
                .arg(m_file->fileName(), m_file->errorString());
        return {};
    }

    QString commit(const ZipEntry& entry) override {
        if (!m_file)
            return {};
        const auto file = std::move(m_file);
        if (entry.lastModified.isValid() &&
            (!file->flush() ||
             !file->setFileTime(entry.lastModified, QFileDevice::FileModificationTime)))
            return QStringLiteral("SetFileTime (%1): %2")
                .arg(file->fileName(), file->errorString());
        if (!file->commit())
            return QStringLiteral("WriteFile (%1): %2").arg(file->fileName(), file->errorString());
        return {};
    }

    void discard() override { m_file.reset(); } // an uncommitted QSaveFile leaves nothing

private:
    QString outputName(const ZipEntry& entry) const {
        if (m_pattern.isEmpty() || entry.isFolder())
            return entry.fileName;
        QString name = m_pattern;
        if (name.contains(QLatin1String("*.*")))
            return name.replace(QLatin1String("*.*"), entry.fileName);
        return name.replace(QLatin1Char('*'), withoutExtension(entry.fileName));
    }

    QString makeFolder(const QString& folder) const {
        const QFileInfo info(folder);
        if (info.exists() && !info.isDir())
            return QStringLiteral("File already exists (%1)").arg(folder);
        if (!QDir().mkpath(folder))
            return QStringLiteral("CreateDirectory (%1): cannot create the folder").arg(folder);
        if (!EntryPath::resolvesInside(m_root, folder))
            return QStringLiteral("Entry leads outside the target folder (%1)").arg(folder);
        return {};
    }

    QString m_root;
    QString m_pattern;
    std::unique_ptr<QSaveFile> m_file;
};

// A byte array that holds the last extracted entry; it is emptied when the entry fails.
class BytesTarget : public ExtractTarget {
public:
    explicit BytesTarget(QByteArray& bytes)
        : m_bytes(bytes) {}
    QVariant describe(const ZipEntry&, QString&) override { return {}; }
    QString begin(const ZipEntry&, const QVariant&) override {
        m_bytes.clear();
        return {};
    }
    QString write(QByteArrayView bytes) override {
        m_bytes.append(bytes);
        return {};
    }
    QString commit(const ZipEntry&) override { return {}; }
    void discard() override { m_bytes.clear(); }

private:
    QByteArray& m_bytes;
};

// A stream that receives the data of every extracted entry in turn.
class StreamTarget : public ExtractTarget {
public:
    explicit StreamTarget(QIODevice& device)
        : m_device(device) {}
    QVariant describe(const ZipEntry&, QString&) override {
        return QVariant::fromValue(static_cast<QObject*>(&m_device));
    }
    QString begin(const ZipEntry&, const QVariant&) override { return {}; }
    QString write(QByteArrayView bytes) override {
        if (m_device.write(bytes.data(), bytes.size()) != bytes.size())
            return QStringLiteral("WriteFile ([output_stream]): ") + m_device.errorString();
        return {};
    }
    QString commit(const ZipEntry&) override { return {}; }
    void discard() override {}

private:
    QIODevice& m_device;
};

} // namespace

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
    qsizetype index = -1;
    if (isText(File)) {
        const QString name = File.toString();
        for (qsizetype i = 0; i < d->entries.size() && index < 0; ++i)
            if (d->entries[i].fileName.compare(name, Qt::CaseInsensitive) == 0)
                index = i;
    } else {
        bool ok = false;
        index = File.toLongLong(&ok);
        if (!ok)
            index = -1;
    }
    if (index < 0 || index >= d->entries.size() || InfoIdx > Flags)
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
    QList<int> selected;
    const int count = FileCount();
    if (!filter.isValid() || filter.isNull()) {
        for (int i = 0; i < count; ++i)
            selected.append(i);
        return selected;
    }
    if (isText(filter)) {
        const QString pattern = filter.toString().replace(QLatin1Char('\\'), QLatin1Char('/'));
        const qsizetype slash = pattern.lastIndexOf(QLatin1Char('/'));
        const QString folder = pattern.left(slash + 1);
        const QString name = pattern.mid(slash + 1);
        for (int i = 0; i < count; ++i) {
            const QString& entryName = d->entries[i].fileName;
            const QString baseName = entryName.mid(entryName.lastIndexOf(QLatin1Char('/')) + 1);
            if (!folder.isEmpty() &&
                (!EntryPath::matchesWildcard(entryName, folder + QLatin1Char('*')) ||
                 EntryPath::matchesWildcard(entryName, folder + QLatin1String("*/*"))))
                continue;
            if (!name.isEmpty() && !EntryPath::matchesFileSpec(baseName, name))
                continue;
            selected.append(i);
        }
        return selected;
    }
    const QVariantList items = filter.canConvert<QVariantList>() &&
                                       filter.typeId() != QMetaType::Int &&
                                       filter.typeId() != QMetaType::LongLong
                                   ? filter.toList()
                                   : QVariantList{filter};
    for (int i = 0; i < count; ++i) {
        for (const QVariant& item : items) {
            const bool hit = isText(item) ? d->entries[i].fileName.compare(item.toString(),
                                                                           Qt::CaseInsensitive) == 0
                                          : item.toInt() == i;
            if (hit) {
                selected.append(i);
                break;
            }
        }
    }
    return selected;
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
    FolderTarget target(root, pattern);
    return pvExtract(target, Filter, Password);
}

bool cZipArchive::Extract(QByteArray& OutputTarget, const QVariant& Filter,
                          const QString& Password) {
    pvBegin();
    BytesTarget target(OutputTarget);
    return pvExtract(target, Filter, Password);
}

bool cZipArchive::Extract(QIODevice* OutputTarget, const QVariant& Filter,
                          const QString& Password) {
    pvBegin();
    if (!OutputTarget || !OutputTarget->isWritable())
        return pvFail(QStringLiteral("Extract"), QStringLiteral("Invalid stream"));
    StreamTarget target(*OutputTarget);
    return pvExtract(target, Filter, Password);
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
                                    bool stop = false;
                                    emit Progress(index, qint64(done), qint64(total), stop);
                                    return !stop;
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
    entry.name = QString(name).replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (entry.name.isEmpty())
        return pvFail(QStringLiteral("AddFile"), QStringLiteral("Entry name required"));
    if (isText(source) && !entry.name.endsWith(QLatin1Char('/')))
        entry.source = source.toString();
    else if (source.typeId() == QMetaType::QByteArray)
        entry.source = source.toByteArray();
    else if (auto* device = qobject_cast<QIODevice*>(source.value<QObject*>()))
        entry.source = QPointer<QIODevice>(device);
    else if (!entry.name.endsWith(QLatin1Char('/')))
        return pvFail(QStringLiteral("AddFile"), QStringLiteral("Invalid stream"));
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
    QString root = sFolderAndMask;
    QString mask = QStringLiteral("*");
    if (!QFileInfo(sFolderAndMask).isDir()) {
        const qsizetype slash = sFolderAndMask.lastIndexOf(QLatin1Char('/'));
        root = slash < 0 ? QStringLiteral(".") : sFolderAndMask.left(slash);
        mask = sFolderAndMask.mid(slash + 1);
    }
    QString prefix = QString(TargetFolder).replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!prefix.isEmpty() && !prefix.endsWith(QLatin1Char('/')))
        prefix += QLatin1Char('/');
    const QDir rootDir(root.isEmpty() ? QStringLiteral("/") : root);
    int added = 0;
    QQueue<QString> folders;
    folders.enqueue(rootDir.absolutePath());
    while (!folders.isEmpty()) {
        const QDir folder(folders.dequeue());
        const QString relative = rootDir.relativeFilePath(folder.absolutePath());
        const QString namePrefix =
            prefix + (relative == QLatin1String(".") ? QString() : relative + QLatin1Char('/'));
        int addedHere = 0;
        const auto files = folder.entryInfoList(QDir::Files | QDir::Hidden, QDir::Name);
        for (const QFileInfo& info : files) {
            if (!EntryPath::matchesFileSpec(info.fileName(), mask))
                continue;
            if (!AddFile(info.absoluteFilePath(), namePrefix + info.fileName(), {}, Password,
                         EncrStrength, Level))
                return false;
            ++addedHere;
        }
        if (IncludeEmptyFolders && addedHere == 0 && !namePrefix.isEmpty()) {
            if (!pvAddEntry({}, namePrefix, {}, {}, 0, Level))
                return false;
            ++addedHere;
        }
        added += addedHere;
        if (!Recursive)
            continue;
        // Linked folders are not followed, so a link cannot make the walk loop or escape.
        const auto subfolders = folder.entryInfoList(
            QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks, QDir::Name);
        for (const QFileInfo& info : subfolders)
            folders.enqueue(info.absoluteFilePath());
    }
    pvBegin();
    if (added == 0)
        pvReportError(QStringLiteral("AddFromFolder"),
                      QStringLiteral("FindFirstFile (%1): no matching files").arg(sFolderAndMask),
                      false);
    return added > 0;
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

    EntryHeader header;
    header.madeBy = MadeByUnix;
    QDateTime modified = QDateTime::currentDateTime();
    std::unique_ptr<QIODevice> owned;
    QIODevice* source = nullptr;
    qint64 size = -1;
    if (const auto* path = std::get_if<QString>(&pending.source)) {
        auto file = std::make_unique<QFile>(*path);
        if (!file->open(QIODevice::ReadOnly))
            return pvReportError(
                operation, QStringLiteral("CreateFile (%1): %2").arg(*path, file->errorString()),
                false);
        const QFileInfo info(*path);
        modified = info.lastModified();
        header.externalAttributes =
            ((UnixRegular | unixMode(info.permissions())) << 16) | DosArchive;
        size = file->size();
        owned = std::move(file);
    } else if (const auto* bytes = std::get_if<QByteArray>(&pending.source)) {
        auto buffer = std::make_unique<QBuffer>();
        buffer->setData(*bytes);
        buffer->open(QIODevice::ReadOnly);
        size = bytes->size();
        owned = std::move(buffer);
    } else if (const auto* stream = std::get_if<QPointer<QIODevice>>(&pending.source)) {
        if (!*stream)
            return pvReportError(operation, QStringLiteral("Invalid stream"), false);
        source = stream->data();
        size = source->isSequential() ? -1 : source->size() - source->pos();
    } else {
        header.externalAttributes = ((UnixDirectory | 0755u) << 16) | DosDirectory;
    }
    if (owned)
        source = owned.get();
    if (!header.externalAttributes)
        header.externalAttributes = ((UnixRegular | 0644u) << 16) | DosArchive;

    const bool utf8 = useUtf8 == Utf8Mode::Always ||
                      (useUtf8 == Utf8Mode::WhenNeeded &&
                       !(NameCodec::isAscii(pending.name) && NameCodec::isAscii(pending.comment)));
    const auto encode = [&](const QString& text) {
        return utf8 ? text.toUtf8() : NameCodec::encode(text, d->codePage);
    };
    header.flags = utf8 ? FlagUtf8 : 0;
    header.name = encode(pending.name);
    header.comment = encode(pending.comment);
    markCodePageText(header, pending.name, pending.comment);
    toDosTime(modified, header.dosDate, header.dosTime);

    EntryEncoder encoder(
        output, header,
        {std::clamp(entryLevel, 0, 9), pending.password.toUtf8(), pending.strength, useZip64});
    const QString error = encoder.encode(source, size, [this, index](quint64 done, quint64 total) {
        bool stop = false;
        emit Progress(index, qint64(done), qint64(total), stop);
        return !stop;
    });
    if (!error.isEmpty())
        return pvReportError(operation, error, false);
    d->written.append(encoder.centralHeader());
    return true;
}

bool cZipArchive::pvFinishArchive(QIODevice& output, const QString& comment, Zip64Mode useZip64) {
    const QString operation = QStringLiteral("CompressArchive");
    const auto directoryOffset = quint64(output.pos());
    for (const EntryHeader& header : std::as_const(d->written)) {
        const QByteArray record = centralHeader(header);
        if (output.write(record) != record.size())
            return pvReportError(
                operation, QStringLiteral("WriteFile ([output_archive]): ") + output.errorString(),
                false);
    }
    const quint64 directorySize = quint64(output.pos()) - directoryOffset;
    const quint64 count = quint64(d->written.size());
    const bool needed = count >= Max16 || directoryOffset >= Max32 || directorySize >= Max32;
    if (needed && useZip64 == Zip64Mode::Never)
        return pvReportError(operation, QStringLiteral("Missing Zip64 extension above 4GB limit"),
                             false);
    d->comment = comment;
    const QByteArray end = endRecords(count, directoryOffset, directorySize,
                                      NameCodec::encode(comment, d->codePage).left(Max16),
                                      needed || useZip64 == Zip64Mode::Always);
    if (output.write(end) != end.size())
        return pvReportError(
            operation, QStringLiteral("WriteFile ([output_archive]): ") + output.errorString(),
            false);
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
