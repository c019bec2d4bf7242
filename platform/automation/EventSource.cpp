#include "EventSource.h"

#include "AutomationError.h"

EventSink::~EventSink() = default;

void FunctionEventSink::invokeEvent(DispId id, const QString& name, QList<Variant>& args) {
    m_function(id, name, args);
}

int EventSource::advise(std::shared_ptr<EventSink> sink) {
    const int cookie = m_nextCookie++;
    m_sinks.append({cookie, std::move(sink)});
    return cookie;
}

void EventSource::unadvise(int cookie) {
    m_sinks.removeIf(
        [cookie](const Connection& connection) { return connection.cookie == cookie; });
}

void EventSource::raise(DispId id, QList<Variant>& args) {
    const EventInfo* event = m_info.findEvent(id);
    if (!event || event->params.size() != args.size())
        throw AutomationError::standard(vberr::InvalidProcedureCall);
    // A sink may attach or detach others while it runs: walk a copy.
    const QList<Connection> sinks = m_sinks;
    for (const Connection& connection : sinks)
        connection.sink->invokeEvent(event->id, event->name, args);
}

void EventSource::raise(const QString& name, QList<Variant>& args) {
    const EventInfo* event = m_info.findEvent(name);
    if (!event)
        throw AutomationError::standard(vberr::InvalidProcedureCall);
    raise(event->id, args);
}

void EventSource::raise(const QString& name, std::initializer_list<Variant> args) {
    QList<Variant> list(args);
    raise(name, list);
}
