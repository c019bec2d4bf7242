#pragma once

#include "platform/automation/Dispatch.h"
#include "platform/automation/EventSource.h"

#include <QHash>
#include <QJSValue>
#include <QObject>
#include <QStringList>

class ScriptRuntime;

// What a script holds for an automation object: members read, written and
// called by name (the prelude's proxy calls these), by-reference arguments
// passed as Ref objects and written back, and event handlers.
class ScriptObject : public QObject {
    Q_OBJECT
public:
    // How a name is used from script, as kindOf answers it.
    enum Kind { Unknown = 0, Value = 1, Callable = 2 };

    ScriptObject(ScriptRuntime& runtime, DispatchPtr object);
    ~ScriptObject() override;

    const DispatchPtr& dispatch() const { return m_object; }

    Q_INVOKABLE int kindOf(const QString& name) const;
    Q_INVOKABLE QJSValue get(const QString& name);
    Q_INVOKABLE void put(const QString& name, const QJSValue& value);
    Q_INVOKABLE QJSValue invoke(const QString& name, const QJSValue& args);
    Q_INVOKABLE void on(const QString& event, const QJSValue& handler);
    Q_INVOKABLE QString describe() const;

    // Binds each global function named prefix + event name, looked up when
    // the event comes.
    void connectGlobals(const QString& prefix);
    // Stops events and lets the automation object go.
    void detach();

private:
    void advise();
    void onEvent(DispId id, QList<Variant>& args);
    void readBack(const EventInfo& event, const QJSValueList& refs, QList<Variant>& args);

    ScriptRuntime& m_runtime;
    DispatchPtr m_object;
    int m_cookie = 0;
    // Handlers by lower-case event name, in the order they were added.
    QHash<QString, QList<QJSValue>> m_handlers;
    QStringList m_prefixes;
};
