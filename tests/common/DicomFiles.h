#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>

namespace testing_support {

// A file of the Debian python3-pydicom test data.
QString pydicomFile(const QString& name);

// One element as dcmdump prints it: tag "(gggg,eeee)", VR, value text, and
// its nesting depth inside sequences.
struct DumpedElement {
    QString tag;
    QString vr;
    QString value;
    int depth = 0;
};

// The elements dcmdump reads from the file, meta header included, items and
// delimiters left out; UIDs as numbers.
QList<DumpedElement> dcmdump(const QString& path);
// The value of the first element with that tag ("0010,0010"), or empty.
QString dcmdumpValue(const QString& path, const QString& tag);

// Writes a one-page PDF encapsulated in DICOM by dcmtk's pdf2dcm.
bool writeEncapsulatedPdf(const QString& path);

// Writes small explicit VR little endian DICOM files for tests.
class DicomBuilder {
public:
    DicomBuilder& add(std::uint16_t group, std::uint16_t element, const char* vr,
                      const QByteArray& value);
    // A sequence of items, each given as the elements of a DicomBuilder.
    DicomBuilder& addSequence(std::uint16_t group, std::uint16_t element,
                              const QList<DicomBuilder>& items);
    DicomBuilder& addUs(std::uint16_t group, std::uint16_t element, std::uint16_t value);
    // A monochrome 8-bit image whose pixel (x, y) holds valueAt(x, y).
    DicomBuilder& addGreyImage(int width, int height, int (*valueAt)(int x, int y));
    // A monochrome image of 32-bit floating-point samples (Float Pixel Data), row by row.
    DicomBuilder& addFloatImage(int width, int height, const QByteArray& samples);
    // The values as little-endian 32-bit floats.
    static QByteArray floatSamples(const QList<float>& values);
    QByteArray build(const QByteArray& sopClass = "1.2.840.10008.5.1.4.1.1.7") const;
    bool write(const QString& path) const;

private:
    QByteArray m_dataSet;
};

} // namespace testing_support
