#include "HostDecoder.h"

#include "Htj2kDecoder.h"
#include "VrRepair.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QtEndian>

#include <gdcmAttribute.h>
#include <gdcmExplicitDataElement.h>
#include <gdcmImage.h>
#include <gdcmImplicitDataElement.h>
#include <gdcmReader.h>
#include <gdcmSequenceOfFragments.h>
#include <gdcmTransferSyntax.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <sstream>

namespace hostdecoder {

namespace {

// The frames a request asks for: count frames from first.
struct FrameSpan {
    int first = 0;
    int count = 1;
    int end() const { return first + count; }
};

const gdcm::Tag FloatPixelData(0x7fe0, 0x0008);
const gdcm::Tag DoublePixelData(0x7fe0, 0x0009);
const gdcm::Tag PixelData(0x7fe0, 0x0010);
// How much of a file is looked at for damaged VRs before GDCM reads it.
constexpr qint64 HeaderReach = qint64(1) << 20;

std::string trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\0' || text.back() == ' '))
        text.pop_back();
    return text;
}

std::string syntaxOf(const gdcm::File& file) {
    const gdcm::DataSet& meta = file.GetHeader();
    const gdcm::Tag tag(0x0002, 0x0010);
    if (!meta.FindDataElement(tag))
        return {};
    const gdcm::ByteValue* value = meta.GetDataElement(tag).GetByteValue();
    return value ? trimmed(std::string(value->GetPointer(), value->GetLength())) : std::string();
}

// An unsigned short attribute, or the fallback when it is missing or empty.
template <std::uint16_t Group, std::uint16_t Element>
int numberOf(const gdcm::DataSet& set, int fallback) {
    gdcm::Attribute<Group, Element> attribute;
    const gdcm::Tag tag = attribute.GetTag();
    if (!set.FindDataElement(tag) || set.GetDataElement(tag).IsEmpty())
        return fallback;
    attribute.SetFromDataElement(set.GetDataElement(tag));
    return int(attribute.GetValue());
}

// Number of Frames is a decimal string.
int frameCountOf(const gdcm::DataSet& set) {
    const gdcm::Tag tag(0x0028, 0x0008);
    if (!set.FindDataElement(tag))
        return 1;
    const gdcm::ByteValue* value = set.GetDataElement(tag).GetByteValue();
    if (!value)
        return 1;
    const int count = QByteArray(value->GetPointer(), int(value->GetLength())).trimmed().toInt();
    return std::max(1, count);
}

Frames failed(const QString& reason) {
    Frames frames;
    frames.error = reason;
    return frames;
}

void swapBytes(QByteArray& data, int width) {
    char* bytes = data.data();
    for (qsizetype at = 0; at + width <= data.size(); at += width)
        std::reverse(bytes + at, bytes + at + width);
}

void swapWords(QByteArray& data) {
    char* bytes = data.data();
    for (qsizetype at = 0; at + 4 <= data.size(); at += 4)
        std::swap_ranges(bytes + at, bytes + at + 2, bytes + at + 2);
}

// Single-bit samples, packed eight to a byte from the lowest bit, become one byte each.
void unpackBits(Frames& frames, qint64 samples) {
    QByteArray out(qsizetype(samples), '\0');
    for (qint64 at = 0; at < samples && at / 8 < frames.data.size(); ++at)
        out[qsizetype(at)] = char((frames.data[qsizetype(at / 8)] >> (at % 8)) & 1);
    frames.data = out;
    frames.bitsStored = 1;
}

// Float and double pixel data are never compressed: their bytes are the frames.
Frames floatFrames(const gdcm::DataSet& set, bool bigEndian) {
    const bool isDouble = set.FindDataElement(DoublePixelData);
    const gdcm::ByteValue* value =
        set.GetDataElement(isDouble ? DoublePixelData : FloatPixelData).GetByteValue();
    if (!value)
        return failed(QStringLiteral("the floating-point pixel data is empty"));
    Frames frames;
    frames.type = isDouble ? QStringLiteral("float64") : QStringLiteral("float32");
    frames.bitsStored = isDouble ? 64 : 32;
    frames.data = QByteArray(value->GetPointer(), qsizetype(value->GetLength()));
    if (bigEndian)
        swapBytes(frames.data, frames.bitsStored / 8);
    return frames;
}

// One RLE-compressed frame: a header of segment offsets, then one PackBits
// segment per byte of each sample, most significant byte first.
bool decodeRleFrame(const char* in, qsizetype size, int bytesPerSample, Frames& frames,
                    QByteArray& out) {
    if (size < 64)
        return false;
    const auto word = [in](int index) {
        return qFromLittleEndian<std::uint32_t>(in + 4 * index);
    };
    const int segments = int(word(0));
    if (segments != bytesPerSample * frames.samples || segments > 15)
        return false;
    const qsizetype pixels = qsizetype(frames.rows) * frames.columns;
    const qsizetype frameBytes = pixels * segments;
    const qsizetype base = out.size();
    out.resize(base + frameBytes);
    std::fill(out.begin() + base, out.end(), '\0');
    for (int segment = 0; segment < segments; ++segment) {
        const qsizetype start = word(segment + 1);
        const qsizetype end = segment + 1 < segments ? qsizetype(word(segment + 2)) : size;
        if (start < 64 || start > end || end > size)
            return false;
        const int sample = segment / bytesPerSample;
        // Little-endian output: the first segment of a sample is its highest byte.
        const int byte = bytesPerSample - 1 - segment % bytesPerSample;
        char* target = out.data() + base + sample * bytesPerSample + byte;
        const qsizetype stride = qsizetype(frames.samples) * bytesPerSample;
        qsizetype written = 0;
        const auto put = [&](char value) {
            if (written < pixels)
                target[written++ * stride] = value;
        };
        for (qsizetype at = start; at < end && written < pixels;) {
            const auto header = static_cast<signed char>(in[at++]);
            if (header >= 0) {
                for (int i = 0; i <= header && at < end; ++i)
                    put(in[at++]);
            } else if (header != -128 && at < end) {
                const char value = in[at++];
                for (int i = 0; i < 1 - header; ++i)
                    put(value);
            }
        }
    }
    return true;
}

// Colour frames stored plane after plane become interleaved.
void interleave(Frames& frames, int bytesPerSample) {
    const qsizetype plane = qsizetype(frames.rows) * frames.columns * bytesPerSample;
    const qsizetype frameBytes = plane * frames.samples;
    QByteArray out(frames.data.size(), Qt::Uninitialized);
    for (qsizetype frame = 0; frame + frameBytes <= frames.data.size(); frame += frameBytes)
        for (qsizetype pixel = 0; pixel < plane / bytesPerSample; ++pixel)
            for (int sample = 0; sample < frames.samples; ++sample)
                std::memcpy(out.data() + frame + (pixel * frames.samples + sample) * bytesPerSample,
                            frames.data.constData() + frame + sample * plane +
                                pixel * bytesPerSample,
                            bytesPerSample);
    frames.data = out;
}

// Full-range YCbCr (8 bits) to RGB, as the colour's definition gives it.
void ybrToRgb(Frames& frames) {
    auto* bytes = reinterpret_cast<unsigned char*>(frames.data.data());
    const auto clamp = [](double v) {
        return static_cast<unsigned char>(std::clamp(v + 0.5, 0.0, 255.0));
    };
    for (qsizetype at = 0; at + 2 < frames.data.size(); at += 3) {
        const double y = bytes[at];
        const double cb = bytes[at + 1] - 128.0;
        const double cr = bytes[at + 2] - 128.0;
        bytes[at] = clamp(y + 1.402 * cr);
        bytes[at + 1] = clamp(y - 0.344136 * cb - 0.714136 * cr);
        bytes[at + 2] = clamp(y + 1.772 * cb);
    }
    frames.photometric = QStringLiteral("RGB");
}

} // namespace

namespace {

QString typeFor(int bitsAllocated, bool isSigned) {
    switch (bitsAllocated) {
    case 1:
        return QStringLiteral("uint8");
    case 8:
        return isSigned ? QStringLiteral("int8") : QStringLiteral("uint8");
    case 16:
        return isSigned ? QStringLiteral("int16") : QStringLiteral("uint16");
    case 32:
        return isSigned ? QStringLiteral("int32") : QStringLiteral("uint32");
    default:
        return {};
    }
}

std::string stringOf(const gdcm::DataSet& set, const gdcm::Tag& tag) {
    if (!set.FindDataElement(tag))
        return {};
    const gdcm::ByteValue* value = set.GetDataElement(tag).GetByteValue();
    return value ? trimmed(std::string(value->GetPointer(), value->GetLength())) : std::string();
}

// Signed samples narrower than their words, as the data set's pixel
// representation says: a codestream may hold them unsigned (its own
// signedness differs from the data set's), and the decoder then leaves the
// top bits clear. Extending the sign from the highest stored bit changes
// nothing for samples already extended.
template <typename Sample> void extendSign(QByteArray& data, int bitsStored) {
    const int shift = int(sizeof(Sample)) * 8 - bitsStored;
    auto* samples = reinterpret_cast<Sample*>(data.data());
    const qsizetype count = data.size() / qsizetype(sizeof(Sample));
    for (qsizetype i = 0; i < count; ++i)
        samples[i] = Sample(Sample(samples[i] << shift) >> shift);
}

void extendSignedSamples(Frames& frames, int bitsAllocated) {
    if (frames.bitsStored <= 0 || frames.bitsStored >= bitsAllocated)
        return;
    if (bitsAllocated == 16)
        extendSign<std::int16_t>(frames.data, frames.bitsStored);
    else if (bitsAllocated == 8)
        extendSign<std::int8_t>(frames.data, frames.bitsStored);
}

// The fragments of the frames asked for, as pixel data of their own, when the
// file stores one fragment per frame; nothing otherwise.
std::optional<gdcm::DataElement> fragmentsOf(const gdcm::DataElement& pixels, int frameCount,
                                             FrameSpan span) {
    const gdcm::SequenceOfFragments& fragments = *pixels.GetSequenceOfFragments();
    if (frameCount < 2 || int(fragments.GetNumberOfFragments()) != frameCount)
        return std::nullopt;
    gdcm::SmartPointer<gdcm::SequenceOfFragments> part = new gdcm::SequenceOfFragments;
    for (int frame = span.first; frame < span.end(); ++frame)
        part->AddFragment(fragments.GetFragment(unsigned(frame)));
    gdcm::DataElement element(pixels.GetTag());
    element.SetVR(pixels.GetVR());
    element.SetValue(*part);
    element.SetVL(pixels.GetVL());
    return element;
}

// Compressed fragments other than RLE go through GDCM's codecs: the frames
// asked for alone when each has a fragment of its own, else the whole image
// (`whole` then says so).
bool decodeWithCodec(const gdcm::DataElement& pixels, const std::string& syntax, int bitsAllocated,
                     int pixelRepresentation, int planar, FrameSpan span, Frames& frames,
                     bool& whole) {
    const std::optional<gdcm::DataElement> part = fragmentsOf(pixels, frames.frames, span);
    whole = !part;
    const int count = whole ? frames.frames : span.count;
    gdcm::Image image;
    image.SetNumberOfDimensions(count > 1 ? 3 : 2);
    image.SetDimension(0, unsigned(frames.columns));
    image.SetDimension(1, unsigned(frames.rows));
    if (count > 1)
        image.SetDimension(2, unsigned(count));
    image.SetPixelFormat(
        gdcm::PixelFormat(std::uint16_t(frames.samples), std::uint16_t(bitsAllocated),
                          std::uint16_t(frames.bitsStored), std::uint16_t(frames.bitsStored - 1),
                          std::uint16_t(pixelRepresentation)));
    image.SetPhotometricInterpretation(
        gdcm::PhotometricInterpretation::GetPIType(frames.photometric.toLatin1().constData()));
    image.SetPlanarConfiguration(unsigned(planar));
    image.SetTransferSyntax(gdcm::TransferSyntax::GetTSType(syntax.c_str()));
    image.SetDataElement(part ? *part : pixels);
    frames.data = QByteArray(qsizetype(image.GetBufferLength()), Qt::Uninitialized);
    if (frames.data.isEmpty() || !image.GetBuffer(frames.data.data()))
        return false;
    frames.photometric = QString::fromLatin1(gdcm::PhotometricInterpretation::GetPIString(
                                                 image.GetPhotometricInterpretation()))
                             .trimmed();
    if (frames.samples > 1 && image.GetPlanarConfiguration() == 1)
        interleave(frames, bitsAllocated / 8);
    if (pixelRepresentation == 1)
        extendSignedSamples(frames, bitsAllocated);
    return true;
}

// The reader falls back to implicit VR when a data set is not encoded as its
// transfer syntax says; its elements then carry no VR.
bool readImplicitly(const gdcm::File& file) {
    const gdcm::DataSet& set = file.GetDataSet();
    if (file.GetHeader().GetDataSetTransferSyntax().IsImplicit())
        return true;
    return !set.IsEmpty() && set.Begin()->GetVR() == gdcm::VR::INVALID;
}

// The reader fills a value cut short by the end of the file with zeros:
// such a file is longer as read than on disk.
// A fragment whose header arrived but none of its value: GDCM's reader keeps it without a value,
// and its length computation stops the process on it.
bool hasFragmentWithoutValue(const gdcm::DataSet& set) {
    if (!set.FindDataElement(PixelData))
        return false;
    const gdcm::SequenceOfFragments* fragments =
        set.GetDataElement(PixelData).GetSequenceOfFragments();
    if (!fragments)
        return false;
    for (unsigned at = 0; at < fragments->GetNumberOfFragments(); ++at)
        if (!fragments->GetFragment(at).GetByteValue())
            return true;
    return false;
}

bool isCut(const gdcm::File& file, qint64 fileSize) {
    const gdcm::DataSet& set = file.GetDataSet();
    if (hasFragmentWithoutValue(set))
        return true;
    const bool implicit = readImplicitly(file);
    const qint64 length = qint64(file.GetHeader().GetFullLength()) +
                          qint64(implicit ? set.GetLength<gdcm::ImplicitDataElement>()
                                          : set.GetLength<gdcm::ExplicitDataElement>());
    return length > fileSize;
}

bool decodeRle(const gdcm::SequenceOfFragments& fragments, int bytesPerSample, FrameSpan span,
               Frames& frames) {
    if (int(fragments.GetNumberOfFragments()) < frames.frames)
        return false;
    QByteArray out;
    for (int frame = span.first; frame < span.end(); ++frame) {
        const gdcm::ByteValue* value = fragments.GetFragment(unsigned(frame)).GetByteValue();
        if (!value || !decodeRleFrame(value->GetPointer(), qsizetype(value->GetLength()),
                                      bytesPerSample, frames, out))
            return false;
    }
    frames.data = out;
    return true;
}

// JPEG 2000 decoded by OpenJPEG: one fragment per frame, or a single frame in several
// fragments. A file cut short holds fewer fragments than frames, the last one cut.
bool decodeWithOpenJpeg(const gdcm::SequenceOfFragments& fragments, int bytesPerSample,
                        FrameSpan span, htj2k::Codestream reach, Frames& frames) {
    const int count = int(fragments.GetNumberOfFragments());
    QByteArray whole;
    if (frames.frames == 1)
        for (int at = 0; at < count; ++at)
            if (const gdcm::ByteValue* value = fragments.GetFragment(unsigned(at)).GetByteValue())
                whole.append(value->GetPointer(), qsizetype(value->GetLength()));
    if (frames.frames == 1)
        return htj2k::decodeFrame(whole.constData(), std::size_t(whole.size()), frames.columns,
                                  frames.rows, frames.samples, bytesPerSample, frames.data, reach);
    const bool cut = reach == htj2k::Codestream::AsFarAsItGoes;
    if (cut ? span.end() > count : count != frames.frames)
        return false;
    for (int frame = span.first; frame < span.end(); ++frame) {
        const gdcm::ByteValue* value = fragments.GetFragment(unsigned(frame)).GetByteValue();
        if (!value ||
            !htj2k::decodeFrame(value->GetPointer(), value->GetLength(), frames.columns,
                                frames.rows, frames.samples, bytesPerSample, frames.data, reach))
            return false;
    }
    return true;
}

// A file cut inside the fragments of its JPEG 2000 pixel data still shows what arrived, as
// OpenJPEG decodes a cut codestream to its picture with the detail missing. Any other file cut
// short is refused: its reader would fill the rest with zeros.
bool decodesWhenCut(const gdcm::DataSet& set, const std::string& syntax) {
    if (!htj2k::isJpeg2000Syntax(syntax.c_str()) && !htj2k::isHtj2kSyntax(syntax.c_str()))
        return false;
    return set.FindDataElement(PixelData) &&
           set.GetDataElement(PixelData).GetSequenceOfFragments() != nullptr;
}

} // namespace

// Reads the file with GDCM; a high-throughput JPEG 2000 file is read from a
// copy whose syntax GDCM knows, and its own syntax kept in maskedSyntax. A file
// with a damaged VR in its first mebibyte (where the headers are) is read from
// a copy with its VRs mended, as lenient readers read it: GDCM's reader fails
// or stops the process on one. Null when the file cannot be read.
std::unique_ptr<gdcm::Reader> readFile(const QString& path, std::string& maskedSyntax) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return nullptr;
    QByteArray bytes = file.read(HeaderReach);
    maskedSyntax = htj2k::maskSyntax(bytes);
    auto reader = std::make_unique<gdcm::Reader>();
    if (maskedSyntax.empty() && vrrepair::repairUnknownVrs(bytes) == 0) {
        reader->SetFileName(QFile::encodeName(path).constData());
        return reader->Read() ? std::move(reader) : nullptr;
    }
    bytes += file.readAll();
    vrrepair::repairUnknownVrs(bytes);
    std::istringstream stream(bytes.toStdString());
    bytes.clear();
    reader->SetStream(stream);
    return reader->Read() ? std::move(reader) : nullptr;
}

Frames decode(const QString& path, int first, int count) {
    std::string maskedSyntax;
    const std::unique_ptr<gdcm::Reader> read = readFile(path, maskedSyntax);
    if (!read)
        return failed(QStringLiteral("the file could not be read"));
    const gdcm::Reader& reader = *read;
    const gdcm::DataSet& set = reader.GetFile().GetDataSet();
    const std::string syntax = maskedSyntax.empty() ? syntaxOf(reader.GetFile()) : maskedSyntax;
    const QString endsInside = QStringLiteral("the file ends inside its data set");
    const bool cut = isCut(reader.GetFile(), QFileInfo(path).size());
    if (cut && !decodesWhenCut(set, syntax))
        return failed(endsInside);
    const bool bigEndian = syntax == "1.2.840.10008.1.2.2";
    const bool floating =
        set.FindDataElement(FloatPixelData) || set.FindDataElement(DoublePixelData);
    if (!floating && !set.FindDataElement(PixelData))
        return failed(QStringLiteral("the file holds no pixel data"));
    const int bitsAllocated = numberOf<0x0028, 0x0100>(set, 0);
    const int pixelRepresentation = numberOf<0x0028, 0x0103>(set, 0);
    const int planar = numberOf<0x0028, 0x0006>(set, 0);
    Frames frames = floating ? floatFrames(set, bigEndian) : Frames{};
    if (!frames.error.isEmpty())
        return frames;
    if (!floating) {
        frames.type = typeFor(bitsAllocated, pixelRepresentation == 1);
        frames.bitsStored = numberOf<0x0028, 0x0101>(set, bitsAllocated);
    }
    frames.rows = numberOf<0x0028, 0x0010>(set, 0);
    frames.columns = numberOf<0x0028, 0x0011>(set, 0);
    frames.samples = numberOf<0x0028, 0x0002>(set, 1);
    frames.frames = frameCountOf(set);
    frames.photometric = QString::fromStdString(stringOf(set, gdcm::Tag(0x0028, 0x0004)));
    if (frames.type.isEmpty())
        return failed(QStringLiteral("samples of %1 bits are not supported").arg(bitsAllocated));
    if (frames.rows <= 0 || frames.columns <= 0 || (frames.samples != 1 && frames.samples != 3))
        return failed(QStringLiteral("the image's size or samples are not valid"));
    if (first < 0 || first >= frames.frames)
        return failed(QStringLiteral("the image has no frame %1").arg(qint64(first) + 1));
    const FrameSpan span{first, count < 1 ? frames.frames - first
                                          : std::min(count, frames.frames - first)};
    const bool singleBits = !floating && bitsAllocated == 1;
    const int bytesPerSample = floating ? frames.bitsStored / 8 : std::max(1, bitsAllocated / 8);
    const qint64 frameSamples = qint64(frames.rows) * frames.columns * frames.samples;
    if (frameSamples * frames.frames * bytesPerSample > (qint64(1) << 31))
        return failed(QStringLiteral("the image is too large"));
    // Whether data holds every frame of the image or only those asked for.
    bool whole = true;
    if (!floating) {
        const gdcm::DataElement& pixels = set.GetDataElement(PixelData);
        const gdcm::SequenceOfFragments* fragments = pixels.GetSequenceOfFragments();
        bool decoded = false;
        if (!fragments) {
            const gdcm::ByteValue* value = pixels.GetByteValue();
            decoded = value != nullptr;
            if (decoded)
                frames.data = QByteArray(value->GetPointer(), qsizetype(value->GetLength()));
            // The reader has swapped big-endian words already; 32-bit samples
            // still have their two words in the wrong order.
            if (decoded && bigEndian && bytesPerSample == 4)
                swapWords(frames.data);
        } else if (syntax == "1.2.840.10008.1.2.5") {
            decoded = decodeRle(*fragments, bytesPerSample, span, frames);
            whole = false;
        } else if (htj2k::isHtj2kSyntax(syntax.c_str()) || cut) {
            decoded = decodeWithOpenJpeg(
                *fragments, bytesPerSample, span,
                cut ? htj2k::Codestream::AsFarAsItGoes : htj2k::Codestream::Whole, frames);
            whole = false;
        } else {
            decoded = decodeWithCodec(pixels, syntax, bitsAllocated, pixelRepresentation, planar,
                                      span, frames, whole);
        }
        if (!decoded)
            return failed(cut ? endsInside : QStringLiteral("the pixel data could not be decoded"));
        if (singleBits)
            unpackBits(frames, frameSamples * (whole ? frames.frames : span.count));
        if (planar == 1 && frames.samples > 1 && !fragments)
            interleave(frames, bytesPerSample);
    }
    const qint64 frameBytes = frameSamples * bytesPerSample;
    const qint64 skipped = whole ? frameBytes * span.first : 0;
    if (frames.data.size() < skipped + frameBytes * span.count)
        return failed(QStringLiteral("the pixel data is shorter than its image"));
    frames.data = frames.data.mid(skipped, frameBytes * span.count);
    frames.first = span.first;
    frames.count = span.count;
    // JPEG 2000's colour transforms are undone by its decoder.
    if (frames.photometric == QLatin1String("YBR_RCT") ||
        frames.photometric == QLatin1String("YBR_ICT"))
        frames.photometric = QStringLiteral("RGB");
    if (frames.samples == 3 && bytesPerSample == 1 &&
        frames.photometric.startsWith(QLatin1String("YBR_FULL")))
        ybrToRgb(frames);
    return frames;
}

QString describe(const Frames& frames) {
    QJsonObject object;
    if (!frames.error.isEmpty()) {
        object.insert(QStringLiteral("error"), frames.error);
    } else {
        object.insert(QStringLiteral("type"), frames.type);
        object.insert(QStringLiteral("rows"), frames.rows);
        object.insert(QStringLiteral("columns"), frames.columns);
        object.insert(QStringLiteral("samples"), frames.samples);
        object.insert(QStringLiteral("frames"), frames.frames);
        object.insert(QStringLiteral("first"), frames.first);
        object.insert(QStringLiteral("count"), frames.count);
        object.insert(QStringLiteral("bitsStored"), frames.bitsStored);
        object.insert(QStringLiteral("photometric"), frames.photometric);
    }
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

QString decodeToFile(const QString& path, const QString& framesPath, int first, int count) {
    Frames frames = decode(path, first, count);
    QSaveFile out(framesPath);
    if (frames.error.isEmpty() && !(out.open(QIODevice::WriteOnly) &&
                                    out.write(frames.data) == frames.data.size() && out.commit()))
        frames = failed(QStringLiteral("the decoded frames could not be written"));
    return describe(frames);
}

} // namespace hostdecoder
