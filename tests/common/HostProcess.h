#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace testing_support {

// Runs host programs as a person would run them, but in private folders of a
// temporary directory: the registration store (XDG_CONFIG_HOME),
// LOCALAPPDATA, ALLUSERSPROFILE and TEMP, headless.
class HostProcess {
public:
    struct Result {
        bool finished = false;
        int exitCode = -1; // -1 when the program crashed or did not finish
        QString output;
        QString errors;
    };

    HostProcess();

    // A path inside the temporary directory, where the programs run.
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QProcessEnvironment& environment() { return m_environment; }

    // Registers a library in the private store with the registration tool.
    bool registerLibrary(const QString& regsvr, const QString& library, QString* error);
    Result run(const QString& program, const QStringList& arguments, int timeoutSeconds);

private:
    QTemporaryDir m_dir;
    QProcessEnvironment m_environment;
};

} // namespace testing_support
