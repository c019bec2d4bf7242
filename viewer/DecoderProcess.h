#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <deque>
#include <functional>
#include <memory>

class QProcess;
class QTimer;

// The host decoder program (kestdicom-decode) in a process of its own, which
// stays up and decodes one request after another: a file that crashes or
// stalls the decoder ends its request with an error, never the viewer, and a
// fresh process is started for the next request.
namespace decoderprocess {

// Frames [first, first + count) of a file, to be written to framesPath
// (count below 1: every frame from first).
struct Request {
    QString file;
    QString framesPath;
    int first = 0;
    int count = 0;
};

class Decoder {
public:
    using Done = std::function<void(const QString&)>;

    // A request the decoder has not answered within timeoutMs is given up,
    // and its process with it.
    Decoder(QString program, int timeoutMs);
    ~Decoder();
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    // Queues a request; the event loop runs meanwhile. `done` receives the
    // decoder's description of the frames it wrote (a JSON object text), or
    // a JSON object with "error" saying why there are none. It is called
    // once, from the event loop, and may destroy the decoder or ask again.
    void decode(const Request& request, Done done);

    // Drops every request not answered yet: none of them is answered. One
    // under way is stopped with its process.
    void cancel();

private:
    struct Pending {
        QByteArray line;
        Done done;
    };

    void sendNext();
    bool startProcess();
    void stopProcess();
    void restartProcess();
    void onOutput();
    void fail(const QString& reason);
    void answer(const QString& text);

    QString m_program;
    int m_timeoutMs;
    // Owns the process and the time-out; their pending calls end with it.
    std::unique_ptr<QObject> m_context;
    QTimer* m_timeout = nullptr;
    QProcess* m_process = nullptr;
    std::deque<Pending> m_queue;
    bool m_busy = false; // the front request is with the decoder
    // Counts the cancellations: an answer posted before one is dropped.
    quint64 m_generation = 0;
    QByteArray m_output;
};

} // namespace decoderprocess
