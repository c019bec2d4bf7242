#pragma once

#include "Dispatch.h"

#include <QList>

#include <memory>

// What a container attaches to receive a control's events.
class EventSink {
public:
    virtual ~EventSink();
    // By-reference arguments may be changed here; the raiser reads them back.
    virtual void invokeEvent(DispId id, const QString& name, QList<Variant>& args) = 0;
};

// An event sink made of a function, for hosts that do not need a class.
class FunctionEventSink : public EventSink {
public:
    using Function = std::function<void(DispId id, const QString& name, QList<Variant>& args)>;

    explicit FunctionEventSink(Function function)
        : m_function(std::move(function)) {}
    void invokeEvent(DispId id, const QString& name, QList<Variant>& args) override;

private:
    Function m_function;
};

// The connection point of an event interface: sinks attach with advise and
// detach with the cookie they got; raise calls every sink in attachment order.
class EventSource {
public:
    explicit EventSource(const TypeInfo& info)
        : m_info(info) {}

    int advise(std::shared_ptr<EventSink> sink);
    void unadvise(int cookie);
    int sinkCount() const { return static_cast<int>(m_sinks.size()); }

    // Raises a declared event; the argument count must match its declaration.
    void raise(DispId id, QList<Variant>& args);
    void raise(const QString& name, QList<Variant>& args);
    // For events without by-reference arguments.
    void raise(const QString& name, std::initializer_list<Variant> args = {});

private:
    struct Connection {
        int cookie;
        std::shared_ptr<EventSink> sink;
    };

    const TypeInfo& m_info;
    QList<Connection> m_sinks;
    int m_nextCookie = 1;
};
