#pragma once

#include "platform/automation/ControlContainer.h"
#include "platform/automation/Dispatch.h"
#include "platform/automation/EventSource.h"

#include <QSet>
#include <QString>
#include <QVariantMap>

// A minimal container for the viewer: it creates the control by its
// programmatic identifier, embeds its widget, prints every event it raises
// as a JSON line and remembers which events came.
class RenderHost {
public:
    explicit RenderHost(const QString& progId);
    ~RenderHost();

    Dispatch& viewer() { return *m_container.object(); }
    QWidget& window() { return m_container.window(); }
    bool received(const QString& event) const { return m_received.contains(event); }
    // The arguments of the last ImageLoaded event, by name.
    const QVariantMap& imageLoaded() const { return m_imageLoaded; }

    // The JSON line for one event, with the argument names of the event table.
    static QString eventLine(const EventInfo& event, const QList<Variant>& args);

private:
    void onEvent(DispId id, const QString& name, QList<Variant>& args);

    ControlContainer m_container;
    int m_cookie = 0;
    QSet<QString> m_received;
    QVariantMap m_imageLoaded;
};
