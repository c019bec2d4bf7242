#include "DecoderProcess.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTimer>

#include <utility>

namespace decoderprocess {

namespace {

QString error(const QString& reason) {
    return QString::fromUtf8(QJsonDocument(QJsonObject{{QStringLiteral("error"), reason}})
                                 .toJson(QJsonDocument::Compact));
}

} // namespace

Run::Run(const QString& program, const QString& file, const QString& framesPath, int timeoutMs,
         std::function<void(const QString&)> done)
    : m_done(std::move(done))
    , m_context(std::make_unique<QObject>())
    , m_process(new QProcess(m_context.get())) {
    m_process->setProcessChannelMode(QProcess::SeparateChannels);
    m_process->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(m_process, &QProcess::errorOccurred, m_context.get(),
                     [this](QProcess::ProcessError failure) {
                         if (failure == QProcess::FailedToStart)
                             finish(error(QStringLiteral("the decoder could not be started")));
                     });
    QObject::connect(m_process, &QProcess::finished, m_context.get(),
                     [this] { finish(answerOfFinished()); });
    QTimer::singleShot(timeoutMs, m_context.get(), [this, timeoutMs] {
        finish(
            error(QStringLiteral("the decoder did not finish within %1 s").arg(timeoutMs / 1000)));
    });
    m_process->start(program, {file, framesPath});
}

Run::~Run() {
    stop();
    m_process->waitForFinished();
}

// Kills the decoder if it still runs; its signals no longer reach this object.
void Run::stop() {
    m_process->disconnect();
    if (m_process->state() != QProcess::NotRunning)
        m_process->kill();
}

// Only a crash counts: the answer printed decides, whatever the exit code
// (a leak checker may change it after the answer).
QString Run::answerOfFinished() const {
    if (m_process->exitStatus() != QProcess::NormalExit)
        return error(QStringLiteral("the decoder stopped on this file"));
    const QJsonDocument answer =
        QJsonDocument::fromJson(m_process->readAllStandardOutput().trimmed());
    if (!answer.isObject())
        return error(QStringLiteral("the decoder's answer could not be read"));
    return QString::fromUtf8(answer.toJson(QJsonDocument::Compact));
}

// The answer is handed over from the event loop, outside the process's
// signals, so that `done` may destroy the run.
void Run::finish(const QString& answer) {
    if (std::exchange(m_finished, true))
        return;
    stop();
    QTimer::singleShot(0, m_context.get(), [done = m_done, answer] { done(answer); });
}

} // namespace decoderprocess
