#pragma once

#include <QByteArray>

#include <cstddef>
#include <string>

// High-throughput JPEG 2000 codestreams, which GDCM's codecs do not know,
// decoded by OpenJPEG (2.5 reads the high-throughput block coder); also the
// JPEG 2000 codestreams of a file cut short, which GDCM's codec refuses.
namespace htj2k {

bool isHtj2kSyntax(const char* syntax);
bool isJpeg2000Syntax(const char* syntax);

// GDCM's reader refuses a file whose transfer syntax it does not know. The
// high-throughput syntaxes encode their data sets as every encapsulated
// syntax does, so a file of one of them gets in its meta information an
// encapsulated syntax GDCM knows, of the same length (MPEG2 main profile):
// returns the file's own syntax, or nothing for a file of another syntax,
// which is left as it is.
std::string maskSyntax(QByteArray& file);

// How much of a codestream must be there: all of it, or as much as arrived
// (a cut codestream then decodes to its picture with the detail missing).
enum class Codestream { Whole, AsFarAsItGoes };

// Decodes one frame's codestream (or a JP2 file's), appending its samples to
// out as little-endian values of bytesPerSample bytes, colour interleaved.
// False when the codestream does not decode to an image of that size and
// samples.
bool decodeFrame(const char* data, std::size_t size, int columns, int rows, int samples,
                 int bytesPerSample, QByteArray& out, Codestream reach = Codestream::Whole);

} // namespace htj2k
