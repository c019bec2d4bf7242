#include "FuzzSupport.h"

#include <QDirIterator>
#include <QFile>

#include <cstdio>
#include <cstdlib>

namespace fuzz {

QByteArray bytesOf(const std::uint8_t* data, std::size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

QString textOf(const std::uint8_t* data, std::size_t size) {
    return QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
}

std::pair<QString, QString> splitFirstLine(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes = bytesOf(data, size);
    const qsizetype end = bytes.indexOf('\n');
    if (end < 0)
        return {QString::fromUtf8(bytes), QString()};
    return {QString::fromUtf8(bytes.left(end)), QString::fromUtf8(bytes.mid(end + 1))};
}

void require(bool condition, const char* property) {
    if (condition)
        return;
    std::fprintf(stderr, "fuzz: property violated: %s\n", property);
    std::abort();
}

ScratchFolder::ScratchFolder() {
    require(m_dir.isValid(), "a temporary folder can be created");
}

QString ScratchFolder::write(const QString& name, const QByteArray& bytes) const {
    const QString path = filePath(name);
    QFile file(path);
    require(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size(),
            "the input can be written to a temporary file");
    return path;
}

QStringList ScratchFolder::entries() const {
    QStringList found;
    QDirIterator it(m_dir.path(),
                    QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        found << it.next().mid(m_dir.path().size() + 1);
    return found;
}

} // namespace fuzz
