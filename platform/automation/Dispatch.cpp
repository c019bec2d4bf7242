#include "Dispatch.h"

#include "AutomationError.h"

#include <QHash>

#include <algorithm>
#include <stdexcept>
#include <string>

namespace {

std::uint64_t handlerKey(DispId id, unsigned kind) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(id)) << 8) | kind;
}

} // namespace

const MemberInfo* TypeInfo::findMember(DispId id, unsigned flags) const {
    for (const unsigned kind :
         {unsigned(InvokeFlags::Method), unsigned(InvokeFlags::PropertyGet),
          unsigned(InvokeFlags::PropertyPut), unsigned(InvokeFlags::PropertyPutRef)}) {
        if (!(flags & kind))
            continue;
        for (const MemberInfo& member : members) {
            if (member.id != id)
                continue;
            // A let also serves a set, as the runtime does for value properties.
            const bool serves = member.kind == kind || (kind == InvokeFlags::PropertyPutRef &&
                                                        member.kind == InvokeFlags::PropertyPut);
            if (serves)
                return &member;
        }
    }
    return nullptr;
}

bool TypeInfo::hasMember(DispId id) const {
    return std::any_of(members.begin(), members.end(),
                       [id](const MemberInfo& member) { return member.id == id; });
}

DispId TypeInfo::idOfName(const QString& name) const {
    for (const MemberInfo& member : members) {
        if (member.name.compare(name, Qt::CaseInsensitive) == 0)
            return member.id;
    }
    return dispid::Unknown;
}

const EventInfo* TypeInfo::findEvent(DispId id) const {
    for (const EventInfo& event : events) {
        if (event.id == id)
            return &event;
    }
    return nullptr;
}

const EventInfo* TypeInfo::findEvent(const QString& name) const {
    for (const EventInfo& event : events) {
        if (event.name.compare(name, Qt::CaseInsensitive) == 0)
            return &event;
    }
    return nullptr;
}

Dispatch::~Dispatch() = default;

DispId Dispatch::idOfName(const QString& name) const {
    const TypeInfo* info = typeInfo();
    return info ? info->idOfName(name) : dispid::Unknown;
}

Variant Dispatch::invokeByName(const QString& name, unsigned flags, QList<Variant>& args) {
    const DispId id = idOfName(name);
    if (id == dispid::Unknown)
        throw AutomationError::standard(vberr::NotSupported);
    return invoke(id, flags, args);
}

Variant Dispatch::call(const QString& name, QList<Variant> args) {
    return invokeByName(name, InvokeFlags::Method | InvokeFlags::PropertyGet, args);
}

Variant Dispatch::get(const QString& name) {
    QList<Variant> args;
    return invokeByName(name, InvokeFlags::PropertyGet, args);
}

void Dispatch::put(const QString& name, const Variant& value) {
    QList<Variant> args{value};
    invokeByName(name, InvokeFlags::PropertyPut, args);
}

DispatchObject::DispatchObject(const TypeInfo& info)
    : m_info(info) {
}

void DispatchObject::bind(DispId id, unsigned kind, Handler handler) {
    m_handlers.insert(handlerKey(id, kind), std::move(handler));
}

void DispatchObject::bind(const QString& name, unsigned kind, Handler handler) {
    const DispId id = m_info.idOfName(name);
    // A handler for a name the table lacks is a programming fault: fail at
    // construction in every build rather than leave a member that answers 438.
    if (id == dispid::Unknown || !m_info.findMember(id, kind))
        throw std::logic_error("DispatchObject::bind: no member " + name.toStdString() +
                               " of kind " + std::to_string(kind) + " in " +
                               m_info.interfaceName.toStdString());
    bind(id, kind, std::move(handler));
}

bool DispatchObject::hasHandler(DispId id, unsigned kind) const {
    return m_handlers.contains(handlerKey(id, kind));
}

QList<Variant> DispatchObject::bindArguments(const MemberInfo& member,
                                             const QList<Variant>& args) const {
    if (args.size() > member.params.size())
        throw AutomationError::standard(vberr::WrongArgumentCount);
    QList<Variant> bound;
    bound.reserve(member.params.size());
    for (qsizetype i = 0; i < member.params.size(); ++i) {
        const ParamInfo& param = member.params[i];
        const bool omitted = i >= args.size() || args[i].isMissing();
        if (omitted) {
            if (!param.optional)
                throw AutomationError::standard(vberr::ArgumentNotOptional);
            bound.append(param.defaultValue.value_or(Variant::missing()));
            continue;
        }
        bound.append(args[i].convertTo(param.type));
    }
    return bound;
}

Variant DispatchObject::invoke(DispId id, unsigned flags, QList<Variant>& args) {
    const MemberInfo* member = m_info.findMember(id, flags);
    if (!member) {
        if (m_info.hasMember(id))
            throw AutomationError::standard(vberr::WrongArgumentCount);
        throw AutomationError::standard(vberr::NotSupported);
    }
    const auto handler = m_handlers.constFind(handlerKey(member->id, member->kind));
    if (handler == m_handlers.constEnd())
        throw AutomationError::standard(vberr::NotSupported);
    QList<Variant> bound = bindArguments(*member, args);
    // Copy the handler: a member may re-enter and rebind while it runs.
    const Handler run = *handler;
    Variant result = run(bound);
    for (qsizetype i = 0; i < args.size() && i < bound.size(); ++i) {
        if (member->params[i].byRef && !args[i].isMissing())
            args[i] = bound[i];
    }
    return result;
}
