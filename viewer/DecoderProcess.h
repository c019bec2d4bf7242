#pragma once

#include <QString>

// Runs the host decoder program (kestdicom-decode) on one file, in a process
// of its own: a file that crashes or stalls the decoder ends with an error,
// never with the viewer.
namespace decoderprocess {

// The decoder's description of the frames it wrote to framesPath (a JSON
// object text), or a JSON object with "error" saying why there are none.
QString decode(const QString& program, const QString& file, const QString& framesPath,
               int timeoutMs);

} // namespace decoderprocess
