#include "ValueBridge.h"

#include "ScriptObject.h"

#include "platform/automation/AutomationError.h"

#include <cmath>
#include <limits>

namespace {

// Arrays nest at most this deep; deeper (or cyclic) arrays are a type mismatch.
constexpr int MaxDepth = 32;

Variant numberToVariant(double number) {
    const bool integral = std::isfinite(number) && std::trunc(number) == number;
    const bool fitsLong = number >= std::numeric_limits<std::int32_t>::min() &&
                          number <= std::numeric_limits<std::int32_t>::max();
    if (integral && fitsLong)
        return Variant(static_cast<std::int32_t>(number));
    return Variant(number);
}

} // namespace

ValueBridge::ValueBridge(QJSEngine& engine, const Prelude& prelude, Wrap wrap)
    : m_engine(engine)
    , m_prelude(prelude)
    , m_wrap(std::move(wrap)) {
}

Variant ValueBridge::toVariant(const QJSValue& value) const {
    return toVariant(value, 0);
}

Variant ValueBridge::toVariant(const QJSValue& value, int depth) const {
    if (value.isUndefined())
        return {};
    if (value.isNull())
        return Variant::null();
    if (value.isBool())
        return Variant(value.toBool());
    if (value.isNumber())
        return numberToVariant(value.toNumber());
    if (value.isString())
        return Variant(value.toString());
    if (value.isDate())
        return Variant(OleDate::fromDateTime(value.toDateTime()));
    if (value.isArray()) {
        if (depth >= MaxDepth)
            throw AutomationError::standard(vberr::TypeMismatch);
        VariantArray array;
        const int length = value.property(QStringLiteral("length")).toInt();
        for (int i = 0; i < length; ++i)
            array.items.append(toVariant(value.property(static_cast<quint32>(i)), depth + 1));
        return Variant(std::move(array));
    }
    const QJSValue bytes = m_prelude.bytesOf.call({value});
    if (!bytes.isUndefined())
        return Variant::fromBytes(bytes.toVariant().toByteArray());
    if (const DispatchPtr object = objectOf(value))
        return Variant(object);
    throw AutomationError::standard(vberr::TypeMismatch);
}

QJSValue ValueBridge::toScript(const Variant& value) const {
    if (value.isArray())
        return arrayToScript(value);
    switch (value.type()) {
    case VarType::Empty:
    case VarType::Error:
        return QJSValue(QJSValue::UndefinedValue);
    case VarType::Null:
        return QJSValue(QJSValue::NullValue);
    case VarType::Boolean:
        return QJSValue(value.toBool());
    case VarType::String:
        return QJSValue(value.toString());
    case VarType::Date:
        return m_engine.toScriptValue(value.toDate().toDateTime());
    case VarType::Object: {
        DispatchPtr object = value.toObject();
        return object ? m_wrap(std::move(object)) : QJSValue(QJSValue::NullValue);
    }
    default:
        return QJSValue(value.toDouble());
    }
}

QJSValue ValueBridge::arrayToScript(const Variant& value) const {
    if (value.elementType() == VarType::Byte)
        return m_prelude.makeBytes.call({m_engine.toScriptValue(value.toBytes())});
    const VariantArray array = value.toArray();
    QJSValue result = m_engine.newArray(static_cast<uint>(array.items.size()));
    for (qsizetype i = 0; i < array.items.size(); ++i)
        result.setProperty(static_cast<quint32>(i), toScript(array.items[i]));
    return result;
}

DispatchPtr ValueBridge::objectOf(const QJSValue& value) {
    if (!value.isObject())
        return nullptr;
    auto* object =
        qobject_cast<ScriptObject*>(value.property(QStringLiteral("__kestObject")).toQObject());
    return object ? object->dispatch() : nullptr;
}
