#pragma once

#include "tests/common/HostProcess.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>

// Runs the built kestscript on scripts written by a test, in private folders
// whose registration store holds the libraries the test registers.
class ScriptRun {
public:
    using Result = testing_support::HostProcess::Result;

    bool registerLibrary(const QString& library);
    const QString& error() const { return m_error; }

    // Writes the script beside the run's folders and runs it.
    Result run(const QString& script, const QStringList& options = {},
               const QStringList& arguments = {}, int timeoutSeconds = 90);
    Result runFile(const QString& file, const QStringList& options = {},
                   const QStringList& arguments = {}, int timeoutSeconds = 90);
    // The last JSON object the script printed with Host.echo(JSON.stringify(...)).
    static QJsonObject lastJson(const Result& result);

    QString path(const QString& name) const { return m_host.path(name); }
    // The private folders and environment the scripts run in.
    testing_support::HostProcess& host() { return m_host; }

private:
    testing_support::HostProcess m_host;
    QString m_error;
    int m_scripts = 0;
};
