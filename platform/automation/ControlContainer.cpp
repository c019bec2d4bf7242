#include "ControlContainer.h"

#include "AutomationError.h"

#include <QVBoxLayout>

ControlContainer::ControlContainer(DispatchPtr object, QSize size)
    : m_object(std::move(object)) {
    Control* control = m_object ? m_object->control() : nullptr;
    if (!control)
        throw AutomationError(vberr::CannotCreateObject,
                              QStringLiteral("The object is not a control and cannot be sited"));
    m_window.resize(size);
    control->setControlSite(this);
    control->initNew();
    auto* layout = new QVBoxLayout(&m_window); // owned by the window
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(control->widget());
    m_window.show();
}

ControlContainer::~ControlContainer() {
    Control* control = m_object->control();
    control->setControlSite(nullptr);
    // The control's widget belongs to the control, not to this window.
    control->widget()->setParent(nullptr);
}
