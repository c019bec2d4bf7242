// Stacks: a file opened with the other images of its series, stepped through
// in place by the image page, with its cine.

#include "KestDicomViewAX.h"

#include "BrowserHostProxy.h"
#include "PageMessage.h"
#include "SeriesStack.h"
#include "ViewerValues.h"

#include "platform/automation/AutomationError.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

using viewervalues::text;

namespace {

// Files of a series the page can read: ordinary files within the size it reads whole.
QList<OpenStack::File> readableFiles(const seriesstack::Stack& series, qsizetype& current) {
    QList<OpenStack::File> files;
    const qsizetype chosen = current;
    for (qsizetype i = 0; i < series.entries.size(); ++i) {
        const seriesstack::Entry& entry = series.entries[i];
        const QFileInfo info(entry.path);
        if (i != chosen && (!info.isFile() || info.size() > KestDicomViewAX::MaxDicomFileSize))
            continue;
        if (i == chosen)
            current = files.size();
        files.append({entry.path, entry.frames});
    }
    return files;
}

} // namespace

void KestDicomViewAX::setStackMode(bool value) {
    m_stackMode = value;
    markChanged(QStringLiteral("StackMode"));
}

void KestDicomViewAX::setCacheSizeMB(std::int32_t megabytes) {
    if (!isCacheSize(megabytes))
        throw AutomationError::standard(vberr::InvalidProcedureCall);
    m_cacheSizeMB = megabytes;
    markChanged(QStringLiteral("CacheSizeMB"));
}

std::int32_t KestDicomViewAX::stackCount() const {
    return m_imagePresent ? std::max(m_stackCount, 1) : 0;
}

// The stack of the file about to be loaded. Without stack mode, or for a
// file whose series cannot be read, the file is a stack of its own, which
// the page shows as today.
void KestDicomViewAX::openStackFor(const QString& path, const QStringList& seriesFiles) {
    m_stack = OpenStack({{path, 1}}, 0);
    m_stackIndex = 0;
    m_stackCount = 0;
    if (!m_stackMode)
        return;
    const auto series = seriesFiles.isEmpty() ? seriesstack::stackOf(path)
                                              : seriesstack::stackOf(path, seriesFiles);
    if (!series)
        return;
    qsizetype current = series->current;
    const QList<OpenStack::File> files = readableFiles(*series, current);
    m_stack = OpenStack(files, current);
}

// Showing a file of the stack the page shows is a step to it, not a load.
bool KestDicomViewAX::stepToFile(const QString& path) {
    if (!m_stackMode || m_stack.isSingleImage() || !m_imagePresent || m_awaitingPage)
        return false;
    const auto file = m_stack.fileOf(path);
    if (!file)
        return false;
    setStackIndex(m_stack.imageOf(*file));
    return true;
}

void KestDicomViewAX::setStackIndex(std::int32_t index) {
    if (!m_imagePresent || index < 0 || index >= stackCount())
        throw AutomationError::standard(vberr::InvalidProcedureCall);
    m_stackIndex = index;
    callPage(QStringLiteral("showStackImage"), {Variant(index)});
}

void KestDicomViewAX::PlayCine(double framesPerSecond) {
    if (!m_imagePresent || !std::isfinite(framesPerSecond))
        return;
    callPage(QStringLiteral("playCine"), {Variant(framesPerSecond)});
}

void KestDicomViewAX::StopCine() {
    if (m_imagePresent)
        callPage(QStringLiteral("stopCine"));
}

// The page shows another image of its stack: the document's description
// follows it, and the host is told which image it is. The page's index and
// count must fit the stack handed to it.
void KestDicomViewAX::onStackImageChanged(const QString& content) {
    const QJsonObject stack = QJsonDocument::fromJson(content.toUtf8()).object();
    const int index = stack.value(QStringLiteral("index")).toInt(-1);
    const int count = stack.value(QStringLiteral("count")).toInt(-1);
    if (!m_imagePresent || index < 0 || index >= count)
        return;
    if (m_stack.isSingleImage() ? count > OpenStack::MaxFramesPerFile : count != m_stack.count())
        return;
    const auto place = m_stack.placeOf(std::min(index, m_stack.count() - 1));
    if (!place)
        return;
    const QString path = m_stack.files()[place->file].path;
    readDescription(content);
    m_stackIndex = index;
    m_stackCount = count;
    followStackSelection(path);
    raise(QStringLiteral("StackImageChanged"),
          {Variant(std::int32_t(index)), Variant(std::int32_t(count)), text(path)});
}
