#pragma once

#include "platform/automation/ControlSite.h"
#include "platform/automation/Dispatch.h"
#include "platform/automation/EventSource.h"

#include <QSet>
#include <QString>
#include <QWidget>

#include <memory>

// A minimal container for the viewer: it creates the control by its
// programmatic identifier, embeds its widget, prints every event it raises
// as a JSON line and remembers which events came.
class RenderHost : public ControlSite {
public:
    explicit RenderHost(const QString& progId);
    ~RenderHost() override;

    Dispatch& viewer() { return *m_viewer; }
    QWidget& window() { return m_window; }
    bool received(const QString& event) const { return m_received.contains(event); }
    // The arguments of the last ImageLoaded event, by name.
    const QVariantMap& imageLoaded() const { return m_imageLoaded; }

    QWidget* containerWidget() const override { return const_cast<QWidget*>(&m_window); }

    // The JSON line for one event, with the argument names of the event table.
    static QString eventLine(const EventInfo& event, const QList<Variant>& args);

private:
    void onEvent(DispId id, const QString& name, QList<Variant>& args);

    QWidget m_window;
    DispatchPtr m_viewer;
    int m_cookie = 0;
    QSet<QString> m_received;
    QVariantMap m_imageLoaded;
};
