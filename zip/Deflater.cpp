#include "zip/Deflater.h"

#include <zlib.h>

namespace {
constexpr int OutputPiece = 65536;
}

Deflater::Deflater(int level)
    : m_stream(std::make_unique<z_stream_s>()) {
    m_initialised =
        deflateInit2(m_stream.get(), level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
}

Deflater::~Deflater() {
    if (m_initialised)
        deflateEnd(m_stream.get());
}

bool Deflater::deflate(QByteArrayView input, bool finish, const Sink& sink) {
    if (m_piece.size() != OutputPiece)
        m_piece = QByteArray(OutputPiece, Qt::Uninitialized);
    m_stream->next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
    m_stream->avail_in = static_cast<uInt>(input.size());
    const int flush = finish ? Z_FINISH : Z_NO_FLUSH;
    for (;;) {
        m_stream->next_out = reinterpret_cast<Bytef*>(m_piece.data());
        m_stream->avail_out = OutputPiece;
        const int rc = ::deflate(m_stream.get(), flush);
        if (rc == Z_STREAM_ERROR)
            return false;
        const qsizetype produced = OutputPiece - m_stream->avail_out;
        if (produced > 0 && !sink(QByteArrayView(m_piece.constData(), produced)))
            return false;
        if (rc == Z_STREAM_END)
            return true;
        if (!finish && m_stream->avail_out != 0)
            return true;
    }
}
