#pragma once

#include <QByteArray>
#include <QString>

// Pixel data the image page's loader cannot decode, or decodes wrongly, is
// decoded with GDCM (OpenJPEG for JPEG 2000, CharLS for JPEG-LS) into raw
// frames that the page shows with its usual tools. It runs in a process of
// its own (kestdicom-decode), so that a file that crashes or stalls the
// decoder cannot take the viewer with it.
namespace hostdecoder {

// Decoded frames: little-endian samples of one type, colour interleaved in
// RGB, frame after frame.
struct Frames {
    QString type; // uint8, int8, uint16, int16, uint32, int32, float32, float64
    int rows = 0;
    int columns = 0;
    int samples = 0;
    int frames = 0; // the image's
    int first = 0;  // the first frame held in data
    int count = 0;  // how many frames data holds
    int bitsStored = 0;
    QString photometric;
    QByteArray data;
    QString error; // why decoding failed; the rest is then empty
};

// Decodes `count` frames of the file from `first` (every frame from first
// when count is negative). Compressed frames stored one to a fragment are
// decoded alone; others are decoded with the whole image and cut out of it.
Frames decode(const QString& path, int first = 0, int count = -1);

// The frames' description as a JSON object text: type, rows, columns,
// samples, frames, first, count, bitsStored and photometric, or error.
QString describe(const Frames& frames);

// Decodes the frames, writes them to framesPath and returns their description.
QString decodeToFile(const QString& path, const QString& framesPath, int first, int count);

} // namespace hostdecoder
