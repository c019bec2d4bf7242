#include "HostProcess.h"

#include <QDir>
#include <QProcess>

namespace testing_support {

HostProcess::HostProcess()
    : m_environment(QProcessEnvironment::systemEnvironment()) {
    const std::pair<const char*, const char*> folders[] = {{"XDG_CONFIG_HOME", "config"},
                                                           {"LOCALAPPDATA", "local"},
                                                           {"ALLUSERSPROFILE", "common"},
                                                           {"TEMP", "temp"}};
    for (const auto& [variable, folder] : folders) {
        QDir(m_dir.path()).mkpath(folder);
        m_environment.insert(variable, m_dir.filePath(folder));
    }
    m_environment.insert("QT_QPA_PLATFORM", "offscreen");
}

bool HostProcess::registerLibrary(const QString& regsvr, const QString& library, QString* error) {
    const Result result = run(regsvr, {"/s", library}, 30);
    if (result.exitCode == 0)
        return true;
    if (error)
        *error = "registration of " + library + " failed: " + result.errors;
    return false;
}

HostProcess::Result HostProcess::run(const QString& program, const QStringList& arguments,
                                     int timeoutSeconds) {
    QProcess process;
    process.setProcessEnvironment(m_environment);
    process.setWorkingDirectory(m_dir.path()); // relative output names land here
    process.start(program, arguments);
    Result result;
    result.finished = process.waitForFinished(timeoutSeconds * 1000);
    if (!result.finished) {
        process.kill();
        process.waitForFinished();
    }
    if (result.finished && process.exitStatus() == QProcess::NormalExit)
        result.exitCode = process.exitCode();
    result.output = QString::fromUtf8(process.readAllStandardOutput());
    result.errors = QString::fromUtf8(process.readAllStandardError());
    return result;
}

} // namespace testing_support
