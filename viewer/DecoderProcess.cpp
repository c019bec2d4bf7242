#include "DecoderProcess.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTimer>

#include <utility>

namespace decoderprocess {

namespace {

// An answer is a line of a few hundred bytes: output that runs on without
// one is not the decoder's.
constexpr qsizetype MaxAnswerBytes = 64 * 1024;

QString error(const QString& reason) {
    return QString::fromUtf8(QJsonDocument(QJsonObject{{QStringLiteral("error"), reason}})
                                 .toJson(QJsonDocument::Compact));
}

QString answerOf(const QByteArray& line) {
    const QJsonDocument answer = QJsonDocument::fromJson(line);
    if (!answer.isObject())
        return error(QStringLiteral("the decoder's answer could not be read"));
    return QString::fromUtf8(answer.toJson(QJsonDocument::Compact));
}

} // namespace

Decoder::Decoder(QString program, int timeoutMs)
    : m_program(std::move(program))
    , m_timeoutMs(timeoutMs)
    , m_context(std::make_unique<QObject>())
    , m_timeout(new QTimer(m_context.get())) {
    m_timeout->setSingleShot(true);
    QObject::connect(m_timeout, &QTimer::timeout, m_context.get(), [this] {
        fail(QStringLiteral("the decoder did not finish within %1 s").arg(m_timeoutMs / 1000));
    });
}

Decoder::~Decoder() {
    stopProcess();
}

void Decoder::decode(const Request& request, Done done) {
    const QJsonObject line{{QStringLiteral("file"), request.file},
                           {QStringLiteral("frames"), request.framesPath},
                           {QStringLiteral("first"), request.first},
                           {QStringLiteral("count"), request.count}};
    m_queue.push_back({QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n', std::move(done)});
    sendNext();
}

void Decoder::cancel() {
    m_queue.clear();
    // Answers already on their way through the event loop are dropped too.
    ++m_generation;
    if (std::exchange(m_busy, false)) {
        m_timeout->stop();
        restartProcess();
    }
}

void Decoder::sendNext() {
    if (m_busy || m_queue.empty())
        return;
    // A process that has ended, its end not yet reported, is replaced.
    if (m_process && m_process->state() != QProcess::Running)
        stopProcess();
    if (!m_process && !startProcess()) {
        answer(error(QStringLiteral("the decoder could not be started")));
        return;
    }
    m_busy = true;
    m_timeout->start(m_timeoutMs);
    m_process->write(m_queue.front().line);
}

bool Decoder::startProcess() {
    auto process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::SeparateChannels);
    process->setStandardErrorFile(QProcess::nullDevice());
    process->start(m_program, {});
    if (!process->waitForStarted())
        return false;
    m_process = process.release();
    m_process->setParent(m_context.get());
    m_output.clear();
    QObject::connect(m_process, &QProcess::readyReadStandardOutput, m_context.get(),
                     [this] { onOutput(); });
    // Whatever the exit code (a leak checker may change it after the
    // answer), only an answer printed counts.
    QObject::connect(m_process, &QProcess::finished, m_context.get(), [this, ended = m_process] {
        onOutput();
        // The answers read may have sent the next request to a new process.
        if (m_process == ended)
            fail(QStringLiteral("the decoder stopped on this file"));
    });
    return true;
}

// Kills the process if it still runs and waits for its end (moments after a
// kill); its signals no longer reach the decoder. It may be in one of them.
void Decoder::stopProcess() {
    QProcess* process = std::exchange(m_process, nullptr);
    if (!process)
        return;
    process->disconnect();
    process->kill();
    process->waitForFinished();
    process->deleteLater();
    m_output.clear();
}

void Decoder::onOutput() {
    m_output += m_process->readAllStandardOutput();
    for (qsizetype end = m_output.indexOf('\n'); end >= 0 && m_process;
         end = m_output.indexOf('\n')) {
        const QByteArray line = m_output.left(end).trimmed();
        m_output.remove(0, end + 1);
        // Output nobody asked for answers nothing.
        if (m_busy)
            answer(answerOf(line));
    }
    if (m_output.size() > MaxAnswerBytes)
        fail(QStringLiteral("the decoder's answer could not be read"));
}

// Ends the process and the request it had. A process that failed a request
// is replaced at once, ready for the next (a process that ends while idle is
// not, so that a program that cannot run is not started again and again).
void Decoder::fail(const QString& reason) {
    if (!m_busy) {
        stopProcess();
        return;
    }
    restartProcess();
    answer(error(reason));
}

void Decoder::restartProcess() {
    stopProcess();
    startProcess();
}

// Hands the front request its answer from the event loop, outside the
// process's signals, so that `done` may destroy the decoder; then sends the next.
void Decoder::answer(const QString& text) {
    Done done = std::move(m_queue.front().done);
    m_queue.pop_front();
    m_busy = false;
    m_timeout->stop();
    QTimer::singleShot(0, m_context.get(),
                       [this, generation = m_generation, done = std::move(done), text] {
                           if (generation == m_generation)
                               done(text);
                       });
    sendNext();
}

} // namespace decoderprocess
