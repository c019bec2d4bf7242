// Pixel data the image page hands back to the host: decoded in the viewer's
// decoder process, its frames written to memory (FramesFolder) for the page to read.

#include "KestDicomViewAX.h"

#include "DecoderProcess.h"
#include "ViewerValues.h"

#include "platform/automation/AutomationError.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

using viewervalues::text;

namespace {

// A large multi-frame file decodes within seconds; a decoder that takes
// longer is stalled.
constexpr int DecoderTimeoutMs = 15000;

// The working copy's frames, as opposed to those of another file of the stack.
constexpr qsizetype WorkingCopy = -1;

// Where the frames from `first` are written for the page, which reads them
// under the same name: the working copy's, or those of the stack's file.
QString framesFileName(qsizetype file, int first) {
    if (file == WorkingCopy)
        return QStringLiteral("KDVAX_PIXELS_%1.bin").arg(first);
    return QStringLiteral("KDVAX_PIXELS_F%1_%2.bin").arg(file).arg(first);
}

// The stack's file a page message names ({"file": n}), or WorkingCopy when it
// names none.
qsizetype stackFileOf(const QString& content) {
    const QJsonObject message = QJsonDocument::fromJson(content.toUtf8()).object();
    return message.value(QStringLiteral("file")).toInteger(WorkingCopy);
}

} // namespace

// The decoder runs while the event loop does: the host stays responsive, and
// a navigation of the image page drops the decoding its page asked for. The
// frame the page shows first is decoded first; the others follow in one
// request, so that a multi-frame file shows as soon as its first frame does.
// The other files of a stack queue behind it, as the page steps or
// prefetches them.
void KestDicomViewAX::onDecodePixels(const QString& content) {
    const qsizetype file = stackFileOf(content);
    if (file == WorkingCopy) {
        cancelDecoding();
        if (!m_document.dcmFile.isEmpty())
            decodeFrames(WorkingCopy, 0, 1);
        return;
    }
    if (file >= 0 && file < m_stack.files().size() && !m_stack.isSingleImage())
        decodeFrames(file, 0, 1);
}

void KestDicomViewAX::decodeFrames(qsizetype file, int first, int count) {
    if (!m_decoder) {
        m_decoder = std::make_unique<decoderprocess::Decoder>(
            m_assetFolder + QStringLiteral("kestdicom-decode"), DecoderTimeoutMs);
        m_frames = FramesFolder(m_instanceId, m_instanceFolder);
    }
    const QString frames = m_frames.path() + framesFileName(file, first);
    const QString source =
        file == WorkingCopy ? m_instanceFolder + m_document.dcmFile : m_stack.files()[file].path;
    QFile::remove(frames);
    m_decoder->decode(
        {source, frames, first, count}, [this, file, frames](const QString& description) {
            QJsonObject answer = QJsonDocument::fromJson(description.toUtf8()).object();
            // The page reads the frames where they were written.
            answer.insert(QStringLiteral("url"), QUrl::fromLocalFile(frames).toString());
            if (file != WorkingCopy)
                answer.insert(QStringLiteral("file"), double(file));
            const QString forPage =
                QString::fromUtf8(QJsonDocument(answer).toJson(QJsonDocument::Compact));
            try {
                callPage(QStringLiteral("hostPixels"), {text(forPage)});
            } catch (const AutomationError&) {
                return; // the page is gone: nobody waits for the frames any more
            }
            const int next = answer.value(QStringLiteral("first")).toInt() +
                             answer.value(QStringLiteral("count")).toInt();
            const int total = answer.value(QStringLiteral("frames")).toInt();
            if (!answer.contains(QStringLiteral("error")) && next > 0 && next < total)
                decodeFrames(file, next, total - next);
        });
}

// The page no longer keeps a stack file's decoded frames: their files go too.
void KestDicomViewAX::onReleasePixels(const QString& content) {
    const qsizetype file = stackFileOf(content);
    if (file < 0 || file >= m_stack.files().size())
        return;
    m_frames.removeFiles(QStringLiteral("KDVAX_PIXELS_F%1_*.bin").arg(file));
}

// Drops the decoding under way and the frames written for an earlier page.
void KestDicomViewAX::cancelDecoding() {
    // Frames are only ever written by a decoder: without one, there is nothing to remove.
    if (!m_decoder)
        return;
    m_decoder->cancel();
    m_frames.removeFiles(QStringLiteral("KDVAX_PIXELS_*.bin"));
}
