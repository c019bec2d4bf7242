#include "RenderRun.h"

#include <QDir>
#include <QJsonDocument>
#include <QProcess>
#include <QProcessEnvironment>

RenderRun::RenderRun(QString controlLibrary)
    : m_controlLibrary(std::move(controlLibrary)) {
    QDir(m_dir.path()).mkpath("config");
    QDir(m_dir.path()).mkpath("local");
    QDir(m_dir.path()).mkpath("common");
    QDir(m_dir.path()).mkpath("temp");
}

bool RenderRun::run(const QString& file, const QStringList& options, int timeoutSeconds) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", m_dir.filePath("config"));
    environment.insert("LOCALAPPDATA", m_dir.filePath("local"));
    environment.insert("ALLUSERSPROFILE", m_dir.filePath("common"));
    environment.insert("TEMP", m_dir.filePath("temp"));
    environment.insert("QT_QPA_PLATFORM", "offscreen");

    QProcess registration;
    registration.setProcessEnvironment(environment);
    registration.start(KEST_REGSVR_PATH, {"/s", m_controlLibrary});
    if (!registration.waitForFinished(30000) || registration.exitCode() != 0) {
        m_errors = "registration failed: " + registration.readAllStandardError();
        return false;
    }

    QProcess render;
    render.setProcessEnvironment(environment);
    render.setWorkingDirectory(m_dir.path()); // relative output names land here
    render.start(KEST_RENDER_PATH, options + QStringList{"--timeout", "60", file});
    if (!render.waitForFinished(timeoutSeconds * 1000)) {
        render.kill();
        render.waitForFinished();
        m_errors = "kestdicom-render did not finish";
        return false;
    }
    m_exitCode = render.exitStatus() == QProcess::NormalExit ? render.exitCode() : -1;
    m_errors = QString::fromUtf8(render.readAllStandardError());
    m_events.clear();
    for (const QByteArray& line : render.readAllStandardOutput().split('\n')) {
        const QJsonDocument document = QJsonDocument::fromJson(line);
        if (document.isObject())
            m_events.append(document.object());
    }
    return m_exitCode == 0;
}

QJsonObject RenderRun::last(const QString& event) const {
    for (auto it = m_events.crbegin(); it != m_events.crend(); ++it) {
        if (it->value("event").toString() == event)
            return it->value("args").toObject();
    }
    return {};
}

int RenderRun::count(const QString& event) const {
    return static_cast<int>(
        std::count_if(m_events.begin(), m_events.end(),
                      [&](const QJsonObject& e) { return e.value("event").toString() == event; }));
}
