// Pixel data the image page hands back to the host: decoded in the decoder
// process, its frames written beside the working copy for the page to read.

#include "KestDicomViewAX.h"

#include "DecoderProcess.h"
#include "ViewerValues.h"

#include <QFile>

using viewervalues::text;

namespace {

// A large multi-frame file decodes within seconds; a decoder that takes
// longer is stalled.
constexpr int DecoderTimeoutMs = 15000;

} // namespace

void KestDicomViewAX::onDecodePixels() {
    if (m_document.dcmFile.isEmpty())
        return;
    const QString frames = m_instanceFolder + QStringLiteral("KDVAX_PIXELS.bin");
    QFile::remove(frames);
    const QString description =
        decoderprocess::decode(m_assetFolder + QStringLiteral("kestdicom-decode"),
                               m_instanceFolder + m_document.dcmFile, frames, DecoderTimeoutMs);
    callPage(QStringLiteral("hostPixels"), {text(description)});
}
