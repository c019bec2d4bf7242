#pragma once

// Helpers shared by the fuzz targets. Each target defines LLVMFuzzerTestOneInput; the same
// sources are linked into libFuzzer programs and into the ordinary replay test.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <utility>

namespace fuzz {

QByteArray bytesOf(const std::uint8_t* data, std::size_t size);
// The input as UTF-8 text (invalid sequences become replacement characters).
QString textOf(const std::uint8_t* data, std::size_t size);
// The first line (without its "\n") and the rest: a key and the text to search.
std::pair<QString, QString> splitFirstLine(const std::uint8_t* data, std::size_t size);

// Ends the process with a message when a property of the code under test does not hold, so
// that libFuzzer records the input and the replay test fails.
void require(bool condition, const char* property);

// A fresh folder for one input's files, removed afterwards.
class ScratchFolder {
public:
    ScratchFolder();
    QString filePath(const QString& name) const { return m_dir.filePath(name); }
    // Writes bytes into a file of the folder and returns its path.
    QString write(const QString& name, const QByteArray& bytes) const;
    // Paths of every file and folder below the folder, relative to it.
    QStringList entries() const;

private:
    QTemporaryDir m_dir;
};

} // namespace fuzz
