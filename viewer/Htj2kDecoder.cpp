#include "Htj2kDecoder.h"

#include <openjpeg.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace htj2k {

namespace {

// The codestream in memory, read by OpenJPEG's stream callbacks.
struct Source {
    const char* data;
    std::size_t size;
    std::size_t at = 0;
};

OPJ_SIZE_T readSource(void* buffer, OPJ_SIZE_T bytes, void* user) {
    auto* source = static_cast<Source*>(user);
    const std::size_t count = std::min<std::size_t>(bytes, source->size - source->at);
    if (count == 0)
        return OPJ_SIZE_T(-1);
    std::memcpy(buffer, source->data + source->at, count);
    source->at += count;
    return count;
}

OPJ_OFF_T skipSource(OPJ_OFF_T bytes, void* user) {
    auto* source = static_cast<Source*>(user);
    const auto target =
        std::clamp<OPJ_OFF_T>(OPJ_OFF_T(source->at) + bytes, 0, OPJ_OFF_T(source->size));
    const OPJ_OFF_T skipped = target - OPJ_OFF_T(source->at);
    source->at = std::size_t(target);
    return skipped;
}

OPJ_BOOL seekSource(OPJ_OFF_T position, void* user) {
    auto* source = static_cast<Source*>(user);
    if (position < 0 || std::size_t(position) > source->size)
        return OPJ_FALSE;
    source->at = std::size_t(position);
    return OPJ_TRUE;
}

struct CodecDeleter {
    void operator()(opj_codec_t* codec) const { opj_destroy_codec(codec); }
};
struct StreamDeleter {
    void operator()(opj_stream_t* stream) const { opj_stream_destroy(stream); }
};
struct ImageDeleter {
    void operator()(opj_image_t* image) const { opj_image_destroy(image); }
};

// Whether the codestream's image has the size and samples the data set
// gives: checked before decoding, so that a codestream announcing a huge
// image is refused before anything is allocated for it.
bool matches(const opj_image_t& image, int columns, int rows, int samples) {
    if (int(image.numcomps) != samples)
        return false;
    for (int c = 0; c < samples; ++c) {
        const opj_image_comp_t& component = image.comps[c];
        if (int(component.w) != columns || int(component.h) != rows || component.dx != 1 ||
            component.dy != 1)
            return false;
    }
    return true;
}

bool hasData(const opj_image_t& image) {
    return std::all_of(image.comps, image.comps + image.numcomps,
                       [](const opj_image_comp_t& component) { return component.data != nullptr; });
}

// A JP2 file's signature box: some writers wrap a frame's codestream in one.
const QByteArray Jp2Signature("\0\0\0\x0CjP  \r\n\x87\n", 12);

OPJ_CODEC_FORMAT formatOf(const char* data, std::size_t size) {
    const bool jp2 = size >= std::size_t(Jp2Signature.size()) &&
                     std::memcmp(data, Jp2Signature.constData(), Jp2Signature.size()) == 0;
    return jp2 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K;
}

// The transfer syntax element of the meta information, explicit VR little
// endian, holding a 23-character UID padded to 24 bytes.
const QByteArray SyntaxElement("\x02\x00\x10\x00UI\x18\x00", 8);
constexpr qsizetype MetaReach = 4096;
const QByteArray KnownSyntax("1.2.840.10008.1.2.4.100\0", 24);

} // namespace

std::string maskSyntax(QByteArray& file) {
    const qsizetype at = file.left(MetaReach).indexOf(SyntaxElement);
    if (at < 0 || at + SyntaxElement.size() + 24 > file.size())
        return {};
    const qsizetype value = at + SyntaxElement.size();
    const std::string syntax = file.mid(value, 23).toStdString();
    if (!isHtj2kSyntax(syntax.c_str()))
        return {};
    file.replace(value, 24, KnownSyntax);
    return syntax;
}

bool isHtj2kSyntax(const char* syntax) {
    return std::strcmp(syntax, "1.2.840.10008.1.2.4.201") == 0 ||
           std::strcmp(syntax, "1.2.840.10008.1.2.4.202") == 0 ||
           std::strcmp(syntax, "1.2.840.10008.1.2.4.203") == 0;
}

bool isJpeg2000Syntax(const char* syntax) {
    return std::strcmp(syntax, "1.2.840.10008.1.2.4.90") == 0 ||
           std::strcmp(syntax, "1.2.840.10008.1.2.4.91") == 0;
}

bool decodeFrame(const char* data, std::size_t size, int columns, int rows, int samples,
                 int bytesPerSample, QByteArray& out, Codestream reach) {
    Source source{data, size};
    const std::unique_ptr<opj_stream_t, StreamDeleter> stream(opj_stream_create(1 << 16, OPJ_TRUE));
    const std::unique_ptr<opj_codec_t, CodecDeleter> codec(
        opj_create_decompress(formatOf(data, size)));
    if (!stream || !codec)
        return false;
    opj_stream_set_user_data(stream.get(), &source, nullptr);
    opj_stream_set_user_data_length(stream.get(), size);
    opj_stream_set_read_function(stream.get(), readSource);
    opj_stream_set_skip_function(stream.get(), skipSource);
    opj_stream_set_seek_function(stream.get(), seekSource);
    opj_dparameters_t parameters;
    opj_set_default_decoder_parameters(&parameters);
    opj_image_t* header = nullptr;
    if (!opj_setup_decoder(codec.get(), &parameters) ||
        !opj_decoder_set_strict_mode(codec.get(), reach == Codestream::Whole) ||
        !opj_read_header(stream.get(), codec.get(), &header))
        return false;
    const std::unique_ptr<opj_image_t, ImageDeleter> image(header);
    if (!matches(*image, columns, rows, samples) ||
        !opj_decode(codec.get(), stream.get(), image.get()) ||
        !opj_end_decompress(codec.get(), stream.get()) || !hasData(*image) ||
        !matches(*image, columns, rows, samples))
        return false;
    const qsizetype pixels = qsizetype(columns) * rows;
    const qsizetype base = out.size();
    out.resize(base + pixels * samples * bytesPerSample);
    char* target = out.data() + base;
    for (qsizetype pixel = 0; pixel < pixels; ++pixel)
        for (int c = 0; c < samples; ++c) {
            const OPJ_INT32 value = image->comps[c].data[pixel];
            for (int byte = 0; byte < bytesPerSample; ++byte)
                *target++ = char((value >> (8 * byte)) & 0xff);
        }
    return true;
}

} // namespace htj2k
