#pragma once

#include <QByteArrayView>

#include <functional>
#include <memory>

struct z_stream_s;

// Raw Deflate decompression that hands its output on in pieces of at most 64 KiB, so a small
// input that expands enormously never needs a large buffer.
class Inflater {
public:
    enum class Status { More, End, Error, Aborted };
    // Receives each output piece; returning false aborts the inflation.
    using Sink = std::function<bool(QByteArrayView)>;

    Inflater();
    ~Inflater();
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    bool initialised() const { return m_initialised; }
    // More: needs more input; End: the stream is complete (trailing input is ignored).
    Status inflate(QByteArrayView input, const Sink& sink);

private:
    std::unique_ptr<z_stream_s> m_stream;
    bool m_initialised = false;
};
