#include "OpenStack.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

#include <algorithm>
#include <filesystem>

namespace {

bool isSameFile(const QString& a, const QString& b) {
    std::error_code error;
    return std::filesystem::equivalent(QFile::encodeName(a).toStdString(),
                                       QFile::encodeName(b).toStdString(), error);
}

// A file URL with every character but the separators encoded, as the page
// encodes its own names: "?", "#" and "=" in a name must not end the path.
QString fileUrl(const QString& path) {
    return QStringLiteral("file://") +
           QString::fromLatin1(QUrl::toPercentEncoding(path, QByteArrayLiteral("/")));
}

} // namespace

OpenStack::OpenStack(const QList<File>& files, qsizetype currentFile) {
    for (qsizetype i = 0; i < files.size() && m_count < MaxImages; ++i) {
        File file = files[i];
        file.frames = std::clamp(file.frames, 1, std::min(MaxFramesPerFile, MaxImages - m_count));
        if (i == currentFile) {
            m_currentFile = m_files.size();
            m_firstImage = m_count;
        }
        m_starts.append(m_count);
        m_count += file.frames;
        m_files.append(file);
    }
}

std::optional<OpenStack::Place> OpenStack::placeOf(std::int32_t image) const {
    if (image < 0 || image >= m_count)
        return std::nullopt;
    const auto next = std::upper_bound(m_starts.begin(), m_starts.end(), image);
    const qsizetype file = (next - m_starts.begin()) - 1;
    return Place{file, static_cast<int>(image - m_starts[file])};
}

std::optional<qsizetype> OpenStack::fileOf(const QString& path) const {
    // The path as listed first: a stack of thousands of files is not looked
    // up on disk file by file unless the path is another name for one of them.
    const auto listed = std::find_if(m_files.begin(), m_files.end(),
                                     [&path](const File& file) { return file.path == path; });
    if (listed != m_files.end())
        return listed - m_files.begin();
    for (qsizetype i = 0; i < m_files.size(); ++i) {
        if (isSameFile(m_files[i].path, path))
            return i;
    }
    return std::nullopt;
}

QString OpenStack::pageScript(qint64 cacheBytes) const {
    QJsonArray files;
    for (qsizetype i = 0; i < m_files.size(); ++i) {
        const File& file = m_files[i];
        files.append(QJsonObject{
            {QStringLiteral("url"), i == m_currentFile ? QJsonValue() : fileUrl(file.path)},
            {QStringLiteral("name"), file.path.section(QLatin1Char('/'), -1)},
            {QStringLiteral("frames"), file.frames}});
    }
    const QJsonObject stack{{QStringLiteral("current"), m_firstImage},
                            {QStringLiteral("count"), m_count},
                            {QStringLiteral("cacheBytes"), double(cacheBytes)},
                            {QStringLiteral("files"), files}};
    QString json = QString::fromUtf8(QJsonDocument(stack).toJson(QJsonDocument::Compact));
    // Line and paragraph separators are escaped so that no script reader
    // can take them for the end of a line.
    json.replace(QChar(0x2028), QStringLiteral("\\u2028"))
        .replace(QChar(0x2029), QStringLiteral("\\u2029"));
    return QStringLiteral("window.dicomStack = ") + json + QStringLiteral(";\r\n");
}
