#pragma once

#include "PropertyStore.h"

#include "platform/automation/ControlSite.h"

class QWidget;

// The form's side of the embedded viewer, as a container sites a control: ambient properties
// taken from the form, the viewer's widget placed in the form's client area, and the viewer's
// persisted properties kept in the program's settings so that they survive a restart.
class ViewerSite : public ControlSite {
public:
    ViewerSite(QWidget& clientArea, PropertyStore store);
    ~ViewerSite() override;
    ViewerSite(const ViewerSite&) = delete;
    ViewerSite& operator=(const ViewerSite&) = delete;

    // Sites the control: its saved properties when there are some, else a first placement.
    void attach(Control& control);

    AmbientProperties ambientProperties() const override;
    // The viewer marked a persisted property changed: its property set is saved again.
    void propertyChanged(const QString& name) override;
    QWidget* containerWidget() const override { return &m_clientArea; }

private:
    QWidget& m_clientArea;
    PropertyStore m_store;
    Control* m_control = nullptr;
};
