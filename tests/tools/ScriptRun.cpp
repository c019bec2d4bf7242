#include "ScriptRun.h"

#include <QFile>
#include <QJsonDocument>

bool ScriptRun::registerLibrary(const QString& library) {
    return m_host.registerLibrary(KEST_REGSVR_PATH, library, &m_error);
}

ScriptRun::Result ScriptRun::run(const QString& script, const QStringList& options,
                                 const QStringList& arguments, int timeoutSeconds) {
    const QString file = m_host.path(QStringLiteral("script-%1.js").arg(++m_scripts));
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(script.toUtf8()) < 0)
        return Result{};
    out.close();
    return runFile(file, options, arguments, timeoutSeconds);
}

ScriptRun::Result ScriptRun::runFile(const QString& file, const QStringList& options,
                                     const QStringList& arguments, int timeoutSeconds) {
    return m_host.run(KEST_SCRIPT_PATH, options + QStringList{file} + arguments, timeoutSeconds);
}

QJsonObject ScriptRun::lastJson(const Result& result) {
    const QStringList lines = result.output.split('\n', Qt::SkipEmptyParts);
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        const QJsonDocument document = QJsonDocument::fromJson(it->toUtf8());
        if (document.isObject())
            return document.object();
    }
    return {};
}
