#include "RenderRun.h"

#include <QJsonDocument>

RenderRun::RenderRun(QString controlLibrary)
    : m_controlLibrary(std::move(controlLibrary)) {
}

bool RenderRun::run(const QString& file, const QStringList& options, int timeoutSeconds) {
    if (!m_host.registerLibrary(KEST_REGSVR_PATH, m_controlLibrary, &m_errors))
        return false;
    const testing_support::HostProcess::Result render = m_host.run(
        KEST_RENDER_PATH, options + QStringList{"--timeout", "60", file}, timeoutSeconds);
    if (!render.finished) {
        m_errors = "kestdicom-render did not finish";
        return false;
    }
    m_exitCode = render.exitCode;
    m_errors = render.errors;
    m_events.clear();
    for (const QString& line : render.output.split('\n')) {
        const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8());
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
