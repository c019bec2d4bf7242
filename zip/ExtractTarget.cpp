#include "zip/ExtractTarget.h"

#include "zip/EntryPath.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace {

QString withoutExtension(const QString& path) {
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return dot > path.lastIndexOf(QLatin1Char('/')) ? path.left(dot) : path;
}

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

std::unique_ptr<ExtractTarget> ExtractTarget::folder(QString root, QString namePattern) {
    return std::make_unique<FolderTarget>(std::move(root), std::move(namePattern));
}

std::unique_ptr<ExtractTarget> ExtractTarget::bytes(QByteArray& bytes) {
    return std::make_unique<BytesTarget>(bytes);
}

std::unique_ptr<ExtractTarget> ExtractTarget::stream(QIODevice& device) {
    return std::make_unique<StreamTarget>(device);
}
