#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <functional>
#include <memory>

struct z_stream_s;

// Raw Deflate compression at zlib levels 1 to 9, handing its output on in pieces.
class Deflater {
public:
    using Sink = std::function<bool(QByteArrayView)>;

    explicit Deflater(int level);
    ~Deflater();
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    bool initialised() const { return m_initialised; }
    // Compresses `input`; with `finish` also flushes the end of the stream. False on a codec
    // failure or when the sink refuses a piece.
    bool deflate(QByteArrayView input, bool finish, const Sink& sink);

private:
    std::unique_ptr<z_stream_s> m_stream;
    QByteArray m_piece; // the output buffer, kept for the whole stream
    bool m_initialised = false;
};
