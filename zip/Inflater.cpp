#include "zip/Inflater.h"

#include <QByteArray>

#include <zlib.h>

namespace {
constexpr int OutputPiece = 65536;
}

Inflater::Inflater()
    : m_stream(std::make_unique<z_stream_s>()) {
    m_initialised = inflateInit2(m_stream.get(), -MAX_WBITS) == Z_OK;
}

Inflater::~Inflater() {
    if (m_initialised)
        inflateEnd(m_stream.get());
}

Inflater::Status Inflater::inflate(QByteArrayView input, const Sink& sink) {
    QByteArray piece(OutputPiece, Qt::Uninitialized);
    m_stream->next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
    m_stream->avail_in = static_cast<uInt>(input.size());
    for (;;) {
        m_stream->next_out = reinterpret_cast<Bytef*>(piece.data());
        m_stream->avail_out = OutputPiece;
        const int rc = ::inflate(m_stream.get(), Z_NO_FLUSH);
        const qsizetype produced = OutputPiece - m_stream->avail_out;
        if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR)
            return Status::Error;
        if (produced > 0 && !sink(QByteArrayView(piece.constData(), produced)))
            return Status::Aborted;
        if (rc == Z_STREAM_END)
            return Status::End;
        // Output space left over (or no progress possible) means all input was consumed.
        if (m_stream->avail_out != 0 || rc == Z_BUF_ERROR)
            return m_stream->avail_in == 0 ? Status::More : Status::Error;
    }
}
