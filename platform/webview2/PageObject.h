#pragma once

#include "platform/automation/Dispatch.h"

#include <QHash>
#include <QPointer>

class ScriptBridge;

// A script object of one page document, as the host sees it: its members are
// looked up by name and run in that document. Once the document is gone
// (navigation, closed view) every call fails with 0x8007139F.
class PageObject : public Dispatch {
public:
    PageObject(ScriptBridge* bridge, QString document, int id);

    DispId idOfName(const QString& name) const override;
    Variant invoke(DispId id, unsigned flags, QList<Variant>& args) override;

    const ScriptBridge* bridge() const { return m_bridge.data(); }
    const QString& document() const { return m_document; }
    int id() const { return m_id; }

private:
    QPointer<ScriptBridge> m_bridge;
    QString m_document;
    int m_id;
    // Member names by the identifiers handed out for them; 0 is the object itself.
    mutable QHash<DispId, QString> m_names;
};
