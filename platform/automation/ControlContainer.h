#pragma once

#include "ControlSite.h"
#include "Dispatch.h"

#include <QSize>
#include <QWidget>

// A top-level window that sites one control as a container does: the
// control gets this site (ambient properties), starts on a new property set
// and its widget fills the window. The window is shown; on a display-less
// platform it is drawn offscreen.
class ControlContainer : public ControlSite {
public:
    // Raises error 429 when the object is not an embeddable control.
    ControlContainer(DispatchPtr object, QSize size);
    ~ControlContainer() override;
    ControlContainer(const ControlContainer&) = delete;
    ControlContainer& operator=(const ControlContainer&) = delete;

    const DispatchPtr& object() const { return m_object; }
    QWidget& window() { return m_window; }

    QWidget* containerWidget() const override { return const_cast<QWidget*>(&m_window); }

private:
    QWidget m_window;
    DispatchPtr m_object;
};
