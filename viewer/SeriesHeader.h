#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>
#include <variant>
#include <vector>

// The few header values of a DICOM file that decide whether it belongs to a
// stack of images and where, read without reading the rest of the file.
namespace seriesstack {

struct ImageHeader {
    // Series Instance UID (0020,000E) without its padding; empty when absent.
    QByteArray seriesUid;
    // Rows (0028,0010) and Columns (0028,0011); 0 when absent.
    int rows = 0;
    int columns = 0;
    // Image Orientation (Patient) (0020,0037) as unit row and column vectors;
    // none when absent, not six finite numbers, or the vectors are null or parallel.
    std::optional<std::array<double, 6>> orientation;
    // Image Position (Patient) (0020,0032); none unless three finite numbers.
    std::optional<std::array<double, 3>> position;
    // Instance Number (0020,0013); none unless an integer.
    std::optional<int> instanceNumber;
    // Number of Frames (0028,0008); 1 when absent or not a positive integer.
    int frames = 1;
    // Image Type (0008,0008) holds LOCALIZER.
    bool localizer = false;
};

enum class ReadError {
    NotAFile,    // missing, or a folder, FIFO, socket or device (never opened)
    NotDicom,    // no "DICM" signature after the 128-byte preamble
    Truncated,   // an element runs past the end of the file
    Malformed,   // a header that cannot be walked (bad VR, nesting too deep)
    Unsupported, // a deflated data set
};

using ReadResult = std::variant<ImageHeader, ReadError>;

// Reads the headers of many files in turn, keeping one read buffer for all.
//
// A reader of its own rather than GDCM: a stack of a few thousand files is read
// whenever a file is opened, and all that is needed is eight short values near
// the start of each file. The reader reads the file in blocks of 16 KiB (one
// for a typical header), walks element headers only, never reads a value it
// does not need, stops at Pixel Data, and gives up after 1 MiB has been read.
// It checks that Pixel Data, when reached, fits in the file, so that a file
// cut short is left out.
class HeaderReader {
public:
    HeaderReader();
    ReadResult read(const QString& path);

private:
    std::vector<char> m_block;
};

} // namespace seriesstack
