#pragma once

#include "Variant.h"

#include <QHash>
#include <QList>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

class Control;
class EventSource;

using DispId = std::int32_t;

namespace dispid {
constexpr DispId Value = 0;
constexpr DispId Unknown = -1;
constexpr DispId PropertyPut = -3;
constexpr DispId AboutBox = -552;
} // namespace dispid

// Invocation flags; a caller may combine Method and PropertyGet as late-bound callers do.
namespace InvokeFlags {
enum : unsigned { Method = 1, PropertyGet = 2, PropertyPut = 4, PropertyPutRef = 8 };
}

struct ParamInfo {
    ParamInfo(QString name, VarType type = VarType::Variant, bool byRef = false,
              bool optional = false, std::optional<Variant> defaultValue = std::nullopt)
        : name(std::move(name))
        , type(type)
        , byRef(byRef)
        , optional(optional)
        , defaultValue(std::move(defaultValue)) {}

    QString name;
    VarType type = VarType::Variant;
    bool byRef = false;
    bool optional = false;
    // The declared default applied to an omitted argument; an optional argument
    // without one arrives as Variant::missing().
    std::optional<Variant> defaultValue;
};

// One entry of a member table: a method, a property get or a property let.
// A property let lists the assigned value as its last parameter.
struct MemberInfo {
    MemberInfo(DispId id, QString name, unsigned kind, VarType returnType = VarType::Empty,
               QList<ParamInfo> params = {}, QString help = {})
        : id(id)
        , name(std::move(name))
        , kind(kind)
        , returnType(returnType)
        , params(std::move(params))
        , help(std::move(help)) {}

    DispId id = 0;
    QString name;
    unsigned kind = InvokeFlags::Method;
    VarType returnType = VarType::Empty;
    QList<ParamInfo> params;
    QString help;
};

struct EventInfo {
    EventInfo(DispId id, QString name, QList<ParamInfo> params = {}, QString help = {})
        : id(id)
        , name(std::move(name))
        , params(std::move(params))
        , help(std::move(help)) {}

    DispId id = 0;
    QString name;
    QList<ParamInfo> params;
    QString help;
};

// A public enumeration of a type library: its name and its members with their values.
struct EnumInfo {
    QString name;
    QList<std::pair<QString, std::int32_t>> values;
};

// The type information of a class: its dispatch interface, its event interface
// and the enumerations its library publishes beside them.
struct TypeInfo {
    QString interfaceName;
    QString eventInterfaceName;
    QList<MemberInfo> members;
    QList<EventInfo> events;
    QList<EnumInfo> enums = {};

    // The member with this identifier that serves one of the flags; Method is
    // preferred over PropertyGet when both are asked for.
    const MemberInfo* findMember(DispId id, unsigned flags) const;
    bool hasMember(DispId id) const;
    // Case-insensitive name look-up; dispid::Unknown when there is none.
    DispId idOfName(const QString& name) const;
    const EventInfo* findEvent(DispId id) const;
    const EventInfo* findEvent(const QString& name) const;
};

// The counterpart of IDispatch: an object whose members are called by
// identifier or by name. Members raise AutomationError; by-reference arguments
// are written back into the argument list.
class Dispatch {
public:
    virtual ~Dispatch();

    // Static type information, or null for objects whose members are only
    // known at run time (page objects).
    virtual const TypeInfo* typeInfo() const { return nullptr; }
    virtual DispId idOfName(const QString& name) const;
    virtual Variant invoke(DispId id, unsigned flags, QList<Variant>& args) = 0;
    // True when a handler serves this member of the type information, so a
    // call does not answer 438; completeness tests walk the table with it.
    virtual bool hasHandler(DispId, unsigned) const { return false; }

    // The control side of an object that is an embeddable control.
    virtual Control* control() { return nullptr; }
    // The connection point of an object that raises events.
    virtual EventSource* eventSource() { return nullptr; }

    // Late-bound call by member name; raises 438 for an unknown name.
    Variant invokeByName(const QString& name, unsigned flags, QList<Variant>& args);
    Variant call(const QString& name, QList<Variant> args = {});
    Variant get(const QString& name);
    void put(const QString& name, const Variant& value);
};

// A dispatch object implemented in C++: a member table plus one handler per
// member. It applies declared defaults, checks argument counts, converts
// arguments to their declared types and writes by-reference arguments back.
class DispatchObject : public Dispatch {
public:
    using Handler = std::function<Variant(QList<Variant>& args)>;

    explicit DispatchObject(const TypeInfo& info);

    const TypeInfo* typeInfo() const override { return &m_info; }
    Variant invoke(DispId id, unsigned flags, QList<Variant>& args) override;

    bool hasHandler(DispId id, unsigned kind) const override;

protected:
    void bind(DispId id, unsigned kind, Handler handler);
    // Binds by the name in the member table, so a class states its DISPIDs once.
    void bind(const QString& name, unsigned kind, Handler handler);

private:
    QList<Variant> bindArguments(const MemberInfo& member, const QList<Variant>& args) const;

    const TypeInfo& m_info;
    QHash<std::uint64_t, Handler> m_handlers;
};
