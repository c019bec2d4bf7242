#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QProcess;

// Runs the host decoder program (kestdicom-decode) on one file, in a process
// of its own: a file that crashes or stalls the decoder ends with an error,
// never with the viewer.
namespace decoderprocess {

// One decoding under way; the event loop runs meanwhile. `done` receives the
// decoder's description of the frames it wrote to framesPath (a JSON object
// text), or a JSON object with "error" saying why there are none. It is
// called once, from the event loop, and may destroy the run. Destroying the
// run earlier kills the decoder, and `done` is never called.
class Run {
public:
    Run(const QString& program, const QString& file, const QString& framesPath, int timeoutMs,
        std::function<void(const QString&)> done);
    ~Run();
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

private:
    void stop();
    void finish(const QString& answer);
    QString answerOfFinished() const;

    std::function<void(const QString&)> m_done;
    // Owns the process and the time-out; their pending calls end with it.
    std::unique_ptr<QObject> m_context;
    QProcess* m_process = nullptr;
    bool m_finished = false;
};

} // namespace decoderprocess
