#include "DecoderProcess.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

namespace decoderprocess {

namespace {

QString error(const QString& reason) {
    return QString::fromUtf8(QJsonDocument(QJsonObject{{QStringLiteral("error"), reason}})
                                 .toJson(QJsonDocument::Compact));
}

} // namespace

QString decode(const QString& program, const QString& file, const QString& framesPath,
               int timeoutMs) {
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, {file, framesPath});
    if (!process.waitForStarted())
        return error(QStringLiteral("the decoder could not be started"));
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return error(
            QStringLiteral("the decoder did not finish within %1 s").arg(timeoutMs / 1000));
    }
    // Only a crash counts: the answer printed decides, whatever the exit code
    // (a leak checker may change it after the answer).
    if (process.exitStatus() != QProcess::NormalExit)
        return error(QStringLiteral("the decoder stopped on this file"));
    const QJsonDocument answer = QJsonDocument::fromJson(process.readAllStandardOutput().trimmed());
    if (!answer.isObject())
        return error(QStringLiteral("the decoder's answer could not be read"));
    return QString::fromUtf8(answer.toJson(QJsonDocument::Compact));
}

} // namespace decoderprocess
