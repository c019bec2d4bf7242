#pragma once

// Helpers shared by the archive tests: a minimal independent writer of stored entries for
// crafting archives byte by byte, and process and file helpers.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QStandardPaths>
#include <QString>

#include <zlib.h>

#include <functional>

#include <ostream>

// Readable QString values in test failure messages.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace ZipTest {

struct RawEntry {
    QByteArray name;
    QByteArray data;
    quint32 externalAttributes = 0;
    quint16 madeBy = 20;
    qint64 offsetOverride = -1; // central directory points here instead of the local header
    QByteArray extra = {};      // extra fields, in both headers
};

inline void put16(QByteArray& out, quint32 v) {
    out.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF));
}

inline void put32(QByteArray& out, quint32 v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// Stored entries, central directory and end record, as APPNOTE lays them out.
inline QByteArray rawZip(const QList<RawEntry>& entries, const QByteArray& comment = {}) {
    QByteArray out, directory;
    for (const RawEntry& e : entries) {
        const quint32 offset = quint32(e.offsetOverride >= 0 ? e.offsetOverride : out.size());
        const quint32 crc = quint32(
            crc32(0, reinterpret_cast<const Bytef*>(e.data.constData()), uInt(e.data.size())));
        QByteArray common;
        put16(common, 0); // flags
        put16(common, 0); // stored
        put16(common, 0);
        put16(common, (45 << 9) | (1 << 5) | 1); // 2025-01-01
        put32(common, crc);
        put32(common, quint32(e.data.size()));
        put32(common, quint32(e.data.size()));
        put16(common, quint32(e.name.size()));
        put16(common, quint32(e.extra.size()));
        put32(out, 0x04034B50);
        put16(out, 20);
        out += common + e.name + e.extra + e.data;
        put32(directory, 0x02014B50);
        put16(directory, e.madeBy);
        put16(directory, 20);
        directory += common;
        put16(directory, 0);
        put32(directory, 0);
        put32(directory, e.externalAttributes);
        put32(directory, offset);
        directory += e.name + e.extra;
    }
    const quint32 directoryOffset = quint32(out.size());
    out += directory;
    put32(out, 0x06054B50);
    put32(out, 0);
    put16(out, quint32(entries.size()));
    put16(out, quint32(entries.size()));
    put32(out, quint32(directory.size()));
    put32(out, directoryOffset);
    put16(out, quint32(comment.size()));
    return out + comment;
}

inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct RunResult {
    int exitCode = -1;
    QString output;
};

inline RunResult run(const QString& program, const QStringList& args, const QString& dir = {}) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    if (!dir.isEmpty())
        process.setWorkingDirectory(dir);
    // The other tools write and print names in the locale's character set: they
    // run under a UTF-8 one whatever locale the test runs under (the C locale
    // would make Info-ZIP escape every non-ASCII name).
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QByteArray current = qgetenv("LC_ALL").isEmpty() ? qgetenv("LANG") : qgetenv("LC_ALL");
    if (!current.toUpper().contains("UTF-8") && !current.toUpper().contains("UTF8"))
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    process.setProcessEnvironment(environment);
    process.start(program, args);
    if (!process.waitForFinished(240000))
        return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAll())};
}

// Debian's 7zip package installs 7zz; p7zip installs 7z.
inline QString sevenZip() {
    for (const char* name : {"7zz", "7z"})
        if (const QString path = QStandardPaths::findExecutable(QLatin1String(name));
            !path.isEmpty())
            return path;
    return {};
}

// Every file below `dir`, relative, sorted.
inline QStringList filesBelow(const QString& dir) {
    QStringList files;
    QDir root(dir);
    const std::function<void(const QString&)> walk = [&](const QString& path) {
        for (const QFileInfo& info : QDir(path).entryInfoList(
                 QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)) {
            files << root.relativeFilePath(info.absoluteFilePath());
            if (info.isDir() && !info.isSymLink())
                walk(info.absoluteFilePath());
        }
    };
    walk(dir);
    files.sort();
    return files;
}

} // namespace ZipTest
