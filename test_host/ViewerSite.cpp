#include "ViewerSite.h"

#include <QWidget>

ViewerSite::ViewerSite(QWidget& clientArea, PropertyStore store)
    : m_clientArea(clientArea)
    , m_store(std::move(store)) {
}

// The widget belongs to the control, which may outlive the form.
ViewerSite::~ViewerSite() {
    if (!m_control)
        return;
    m_control->setControlSite(nullptr);
    if (QWidget* widget = m_control->widget())
        widget->setParent(nullptr);
}

void ViewerSite::attach(Control& control) {
    m_control = &control;
    control.setControlSite(this);
    if (m_store.exists())
        control.load(m_store.read());
    else
        control.initNew();
    control.widget()->setParent(&m_clientArea);
    control.widget()->show();
}

AmbientProperties ViewerSite::ambientProperties() const {
    AmbientProperties ambient = ControlSite::ambientProperties();
    ambient.font = m_clientArea.font();
    return ambient;
}

void ViewerSite::propertyChanged(const QString&) {
    if (!m_control)
        return;
    PropertyBag bag = m_store.read();
    m_control->save(bag);
    m_store.write(bag);
}
