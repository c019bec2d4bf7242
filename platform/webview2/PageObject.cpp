#include "PageObject.h"

#include "ScriptBridge.h"

#include "platform/automation/AutomationError.h"

PageObject::PageObject(ScriptBridge* bridge, QString document, int id)
    : m_bridge(bridge)
    , m_document(std::move(document))
    , m_id(id) {
}

DispId PageObject::idOfName(const QString& name) const {
    for (auto it = m_names.cbegin(); it != m_names.cend(); ++it) {
        if (it.value() == name)
            return it.key();
    }
    const DispId id = static_cast<DispId>(m_names.size()) + 1;
    m_names.insert(id, name);
    return id;
}

Variant PageObject::invoke(DispId id, unsigned flags, QList<Variant>& args) {
    if (!m_bridge)
        throw AutomationError::fromHResult(hr::ERROR_INVALID_STATE,
                                           QStringLiteral("The page of this object is gone"));
    if (id != dispid::Value && !m_names.contains(id))
        throw AutomationError::fromHResult(hr::DISP_E_MEMBERNOTFOUND);
    return m_bridge->invokePageObject(m_document, m_id, m_names.value(id), flags, args);
}
