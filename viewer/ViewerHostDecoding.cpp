// Pixel data the image page hands back to the host: decoded in the viewer's
// decoder process, its frames written beside the working copy for the page to read.

#include "KestDicomViewAX.h"

#include "DecoderProcess.h"
#include "ViewerValues.h"

#include "platform/automation/AutomationError.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

using viewervalues::text;

namespace {

// A large multi-frame file decodes within seconds; a decoder that takes
// longer is stalled.
constexpr int DecoderTimeoutMs = 15000;

// Where the frames from `first` are written for the page, which reads them
// under the same name.
QString framesFileName(int first) {
    return QStringLiteral("KDVAX_PIXELS_%1.bin").arg(first);
}

} // namespace

// The decoder runs while the event loop does: the host stays responsive, and
// a navigation of the image page drops the decoding its page asked for. The
// frame the page shows first is decoded first; the others follow in one
// request, so that a multi-frame file shows as soon as its first frame does.
void KestDicomViewAX::onDecodePixels() {
    cancelDecoding();
    if (!m_document.dcmFile.isEmpty())
        decodeFrames(0, 1);
}

void KestDicomViewAX::decodeFrames(int first, int count) {
    if (!m_decoder)
        m_decoder = std::make_unique<decoderprocess::Decoder>(
            m_assetFolder + QStringLiteral("kestdicom-decode"), DecoderTimeoutMs);
    const QString frames = m_instanceFolder + framesFileName(first);
    QFile::remove(frames);
    m_decoder->decode({m_instanceFolder + m_document.dcmFile, frames, first, count},
                      [this](const QString& description) {
                          try {
                              callPage(QStringLiteral("hostPixels"), {text(description)});
                          } catch (const AutomationError&) {
                              return; // the page is gone: nobody waits for the frames any more
                          }
                          const QJsonObject answer =
                              QJsonDocument::fromJson(description.toUtf8()).object();
                          const int next = answer.value(QStringLiteral("first")).toInt() +
                                           answer.value(QStringLiteral("count")).toInt();
                          const int total = answer.value(QStringLiteral("frames")).toInt();
                          if (!answer.contains(QStringLiteral("error")) && next > 0 && next < total)
                              decodeFrames(next, total - next);
                      });
}

// Drops the decoding under way and the frames written for an earlier page.
void KestDicomViewAX::cancelDecoding() {
    // Frames are only ever written by a decoder: without one, there is nothing to remove.
    if (!m_decoder)
        return;
    m_decoder->cancel();
    const QDir folder(m_instanceFolder);
    for (const QString& name :
         folder.entryList({QStringLiteral("KDVAX_PIXELS_*.bin")}, QDir::Files))
        QFile::remove(folder.filePath(name));
}
