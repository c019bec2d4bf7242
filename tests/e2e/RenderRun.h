#pragma once

#include "tests/common/HostProcess.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

// Runs kestdicom-render as a host application would be run: the control is
// registered in a private registration store and works in private folders.
class RenderRun {
public:
    // The control library to register: the built one unless given.
    explicit RenderRun(QString controlLibrary = QStringLiteral(KEST_CONTROL_PATH));

    // Runs the tool on the file with the given options; true when it exited 0.
    bool run(const QString& file, const QStringList& options = {}, int timeoutSeconds = 120);

    int exitCode() const { return m_exitCode; }
    const QString& errors() const { return m_errors; }
    QString output(const QString& name) const { return m_host.path(name); }
    // The JSON lines the tool printed, one event each.
    const QList<QJsonObject>& events() const { return m_events; }
    // The arguments of the last event of that name (empty when none came).
    QJsonObject last(const QString& event) const;
    int count(const QString& event) const;

private:
    testing_support::HostProcess m_host;
    QString m_controlLibrary;
    int m_exitCode = -1;
    QString m_errors;
    QList<QJsonObject> m_events;
};
