#include "ScriptObject.h"

#include "ScriptRuntime.h"

#include "platform/automation/AutomationError.h"

namespace {

AutomationError noSuchEvent(const QString& event) {
    return AutomationError(vberr::NotSupported,
                           QStringLiteral("The object has no event named %1").arg(event));
}

bool hasMemberOfKind(const TypeInfo& info, DispId id, unsigned kind) {
    return std::any_of(info.members.begin(), info.members.end(), [&](const MemberInfo& member) {
        return member.id == id && member.kind == kind;
    });
}

bool allOptional(const MemberInfo& member) {
    return std::all_of(member.params.begin(), member.params.end(),
                       [](const ParamInfo& param) { return param.optional; });
}

} // namespace

ScriptObject::ScriptObject(ScriptRuntime& runtime, DispatchPtr object)
    : m_runtime(runtime)
    , m_object(std::move(object)) {
}

ScriptObject::~ScriptObject() {
    detach();
}

int ScriptObject::kindOf(const QString& name) const {
    if (!m_object)
        return Unknown;
    const DispId id = m_object->idOfName(name);
    if (id == dispid::Unknown)
        return Unknown;
    const TypeInfo* info = m_object->typeInfo();
    // Without type information nothing tells a property from a method: call it.
    if (!info || hasMemberOfKind(*info, id, InvokeFlags::Method))
        return Callable;
    const MemberInfo* getter = info->findMember(id, InvokeFlags::PropertyGet);
    return getter && !allOptional(*getter) ? Callable : Value;
}

QJSValue ScriptObject::get(const QString& name) {
    return guarded(m_runtime, [&] {
        if (!m_object)
            throw AutomationError::standard(vberr::ObjectNotSet);
        QList<Variant> args;
        return m_runtime.values().toScript(
            m_object->invokeByName(name, InvokeFlags::PropertyGet, args));
    });
}

void ScriptObject::put(const QString& name, const QJSValue& value) {
    guarded(m_runtime, [&] {
        if (!m_object)
            throw AutomationError::standard(vberr::ObjectNotSet);
        QList<Variant> args{m_runtime.values().toVariant(value)};
        const unsigned flags = args.first().isObject()
                                   ? InvokeFlags::PropertyPutRef | InvokeFlags::PropertyPut
                                   : unsigned(InvokeFlags::PropertyPut);
        m_object->invokeByName(name, flags, args);
        return QJSValue();
    });
}

QJSValue ScriptObject::invoke(const QString& name, const QJSValue& scriptArgs) {
    return guarded(m_runtime, [&] {
        if (!m_object)
            throw AutomationError::standard(vberr::ObjectNotSet);
        const Prelude& prelude = m_runtime.prelude();
        const ValueBridge& values = m_runtime.values();
        const int count = scriptArgs.property(QStringLiteral("length")).toInt();
        QList<Variant> args;
        QList<std::pair<int, QJSValue>> refs;
        for (int i = 0; i < count; ++i) {
            QJSValue arg = scriptArgs.property(static_cast<quint32>(i));
            if (prelude.isRef(arg)) {
                refs.append({i, arg});
                arg = arg.property(QStringLiteral("value"));
            }
            args.append(values.toVariant(arg));
        }
        // Keep the object alive should a handler drop the last reference meanwhile.
        const DispatchPtr object = m_object;
        const Variant result =
            object->invokeByName(name, InvokeFlags::Method | InvokeFlags::PropertyGet, args);
        for (auto& [index, ref] : refs)
            ref.setProperty(QStringLiteral("value"), values.toScript(args[index]));
        return values.toScript(result);
    });
}

void ScriptObject::on(const QString& event, const QJSValue& handler) {
    guarded(m_runtime, [&] {
        const TypeInfo* info = m_object ? m_object->typeInfo() : nullptr;
        const EventInfo* declared = info ? info->findEvent(event) : nullptr;
        if (!declared || !m_object->eventSource())
            throw noSuchEvent(event);
        if (!handler.isCallable())
            throw AutomationError::standard(vberr::TypeMismatch);
        advise();
        m_handlers[declared->name.toLower()].append(handler);
        return QJSValue();
    });
}

QString ScriptObject::describe() const {
    const TypeInfo* info = m_object ? m_object->typeInfo() : nullptr;
    return QStringLiteral("[object %1]").arg(info ? info->interfaceName : QStringLiteral("Object"));
}

void ScriptObject::connectGlobals(const QString& prefix) {
    if (!m_object || !m_object->eventSource() || !m_object->typeInfo())
        throw AutomationError(vberr::NotSupported,
                              QStringLiteral("The object raises no events to connect"));
    advise();
    m_prefixes.append(prefix);
}

void ScriptObject::detach() {
    if (m_object && m_cookie)
        m_object->eventSource()->unadvise(m_cookie);
    m_cookie = 0;
    m_handlers.clear();
    m_prefixes.clear();
    m_object.reset();
}

void ScriptObject::advise() {
    if (m_cookie)
        return;
    m_cookie = m_object->eventSource()->advise(std::make_shared<FunctionEventSink>(
        [this](DispId id, const QString&, QList<Variant>& args) { onEvent(id, args); }));
}

void ScriptObject::onEvent(DispId id, QList<Variant>& args) {
    if (!m_object || m_runtime.stopping())
        return;
    const EventInfo* event = m_object->typeInfo()->findEvent(id);
    if (!event)
        return;
    const ValueBridge& values = m_runtime.values();
    // By-reference arguments travel as Ref objects that handlers may set.
    QJSValue named = m_runtime.engine().newObject();
    QJSValueList positional;
    QJSValueList refs;
    for (qsizetype i = 0; i < event->params.size(); ++i) {
        QJSValue value = values.toScript(args.value(i));
        if (event->params[i].byRef) {
            value = m_runtime.prelude().refClass.callAsConstructor({value});
            refs.append(value);
        }
        named.setProperty(event->params[i].name, value);
        positional.append(value);
    }
    // Copies: a handler may add handlers or let this object go.
    const QList<QJSValue> handlers = m_handlers.value(event->name.toLower());
    for (const QJSValue& handler : handlers) {
        if (!m_runtime.callOrFail(handler, {named}))
            return;
    }
    const QStringList prefixes = m_prefixes;
    for (const QString& prefix : prefixes) {
        const QJSValue function = m_runtime.engine().globalObject().property(prefix + event->name);
        if (function.isCallable() && !m_runtime.callOrFail(function, positional))
            return;
    }
    readBack(*event, refs, args);
}

void ScriptObject::readBack(const EventInfo& event, const QJSValueList& refs,
                            QList<Variant>& args) {
    qsizetype next = 0;
    try {
        for (qsizetype i = 0; i < event.params.size() && i < args.size(); ++i) {
            if (!event.params[i].byRef)
                continue;
            const QJSValue value = refs[next++].property(QStringLiteral("value"));
            args[i] = m_runtime.values().toVariant(value).convertTo(event.params[i].type);
        }
    } catch (const AutomationError& error) {
        m_runtime.fail(QStringLiteral("%1: the %2 handler set a by-reference argument to a value "
                                      "of the wrong type: %3")
                           .arg(m_runtime.currentLocation(), event.name, error.description()));
    }
}
