// Pixel data the image page hands back to the host: decoded in the decoder
// process, its frames written beside the working copy for the page to read.

#include "KestDicomViewAX.h"

#include "DecoderProcess.h"
#include "ViewerValues.h"

#include "platform/automation/AutomationError.h"

#include <QFile>

using viewervalues::text;

namespace {

// A large multi-frame file decodes within seconds; a decoder that takes
// longer is stalled.
constexpr int DecoderTimeoutMs = 15000;

} // namespace

// The decoder runs while the event loop does: the host stays responsive, and
// a navigation of the image page drops the decoding its page asked for.
void KestDicomViewAX::onDecodePixels() {
    m_decoding.reset();
    if (m_document.dcmFile.isEmpty())
        return;
    const QString frames = m_instanceFolder + QStringLiteral("KDVAX_PIXELS.bin");
    QFile::remove(frames);
    m_decoding = std::make_unique<decoderprocess::Run>(
        m_assetFolder + QStringLiteral("kestdicom-decode"), m_instanceFolder + m_document.dcmFile,
        frames, DecoderTimeoutMs, [this](const QString& description) {
            m_decoding.reset();
            try {
                callPage(QStringLiteral("hostPixels"), {text(description)});
            } catch (const AutomationError&) {
                // The page is gone: nobody waits for the frames any more.
            }
        });
}
