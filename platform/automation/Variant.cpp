#include "Variant.h"

#include "AutomationError.h"
#include "Dispatch.h"

#include <QLocale>

#include <cmath>
#include <limits>

namespace {

[[noreturn]] void raise(int number) {
    throw AutomationError::standard(number);
}

// Round half to even, as the automation conversions to integer types do.
double bankersRound(double value) {
    const double rounded = std::nearbyint(value);
    return rounded;
}

std::optional<double> parseNumber(const QString& raw) {
    const QString text = raw.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    bool ok = false;
    if (text.startsWith(QLatin1String("&H"), Qt::CaseInsensitive)) {
        const qlonglong value = text.mid(2).toLongLong(&ok, 16);
        return ok ? std::optional<double>(static_cast<double>(value)) : std::nullopt;
    }
    if (text.startsWith(QLatin1String("&O"), Qt::CaseInsensitive)) {
        const qlonglong value = text.mid(2).toLongLong(&ok, 8);
        return ok ? std::optional<double>(static_cast<double>(value)) : std::nullopt;
    }
    double value = QLocale::c().toDouble(text, &ok);
    if (ok)
        return value;
    value = QLocale::system().toDouble(text, &ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}

QString formatDouble(double value, int digits) {
    if (std::isnan(value))
        return QStringLiteral("NaN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
    QString text = QString::number(value, 'g', digits).toUpper();
    // "1E+20" and "1E-05" as the automation runtime writes them.
    return text;
}

// Exact decimal text of a fixed-point value, without trailing zeros.
QString formatCurrency(Currency value) {
    const bool negative = value.scaled < 0;
    const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(value.scaled)
                                             : static_cast<std::uint64_t>(value.scaled);
    QString text = QString::number(magnitude / 10000);
    if (const std::uint64_t fraction = magnitude % 10000) {
        QString digits = QString::number(fraction).rightJustified(4, QLatin1Char('0'));
        while (digits.endsWith(QLatin1Char('0')))
            digits.chop(1);
        text += QLatin1Char('.') + digits;
    }
    return negative ? QLatin1Char('-') + text : text;
}

const QDateTime& oleEpoch() {
    static const QDateTime epoch(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC);
    return epoch;
}

} // namespace

Currency Currency::fromDouble(double value) {
    const double scaled = bankersRound(value * 10000.0);
    if (!(scaled >= -9.2233720368547758e18 && scaled < 9.2233720368547758e18))
        raise(vberr::Overflow);
    return Currency{static_cast<std::int64_t>(scaled)};
}

OleDate OleDate::fromDateTime(const QDateTime& dateTime) {
    const QDateTime local(dateTime.date(), dateTime.time(), Qt::UTC);
    const double msecs = static_cast<double>(oleEpoch().msecsTo(local));
    const double days = std::floor(msecs / 86400000.0);
    const double fraction = (msecs - days * 86400000.0) / 86400000.0;
    // Negative OLE dates count the day backwards but the time forwards.
    return OleDate{days >= 0 ? days + fraction : days - fraction};
}

QDateTime OleDate::toDateTime() const {
    const double days = std::trunc(value);
    const double fraction = std::fabs(value - days);
    const auto msecs = static_cast<qint64>(std::llround(days * 86400000.0 + fraction * 86400000.0));
    const QDateTime utc = oleEpoch().addMSecs(msecs);
    return QDateTime(utc.date(), utc.time());
}

Variant Variant::null() {
    Variant v;
    v.m_value = NullTag{};
    return v;
}

Variant Variant::missing() {
    return error(hr::DISP_E_PARAMNOTFOUND);
}

Variant Variant::error(std::int32_t code) {
    Variant v;
    v.m_value = ErrorCode{code};
    return v;
}

Variant Variant::fromVBool(VBool value) {
    if (value == VTrue || value == VFalse)
        return Variant(value == VTrue);
    Variant v;
    v.m_value = RawBool{value};
    return v;
}

VBool Variant::toVBool() const {
    if (const auto* raw = std::get_if<RawBool>(&m_value))
        return raw->value;
    return ::toVBool(toBool());
}

Variant Variant::fromBytes(const QByteArray& bytes, std::int32_t lowerBound) {
    Variant v;
    v.m_value = ByteArray{bytes, lowerBound};
    return v;
}

VarType Variant::type() const {
    static constexpr VarType types[] = {
        VarType::Empty,    VarType::Null,    VarType::Error,    VarType::Boolean, VarType::Byte,
        VarType::Integer,  VarType::Long,    VarType::LongLong, VarType::Single,  VarType::Double,
        VarType::Currency, VarType::Date,    VarType::String,   VarType::Object,  VarType::Array,
        VarType::Array,    VarType::Boolean,
    };
    return types[m_value.index()];
}

VarType Variant::elementType() const {
    if (std::holds_alternative<ByteArray>(m_value))
        return VarType::Byte;
    return isArray() ? VarType::Variant : VarType::Empty;
}

QString Variant::typeName() const {
    switch (type()) {
    case VarType::Empty:
        return QStringLiteral("Empty");
    case VarType::Null:
        return QStringLiteral("Null");
    case VarType::Integer:
        return QStringLiteral("Integer");
    case VarType::Long:
        return QStringLiteral("Long");
    case VarType::Single:
        return QStringLiteral("Single");
    case VarType::Double:
        return QStringLiteral("Double");
    case VarType::Currency:
        return QStringLiteral("Currency");
    case VarType::Date:
        return QStringLiteral("Date");
    case VarType::String:
        return QStringLiteral("String");
    case VarType::Object:
        return toObject() ? QStringLiteral("Object") : QStringLiteral("Nothing");
    case VarType::Error:
        return QStringLiteral("Error");
    case VarType::Boolean:
        return QStringLiteral("Boolean");
    case VarType::Byte:
        return QStringLiteral("Byte");
    case VarType::LongLong:
        return QStringLiteral("LongLong");
    case VarType::Array:
        return elementType() == VarType::Byte ? QStringLiteral("Byte()")
                                              : QStringLiteral("Variant()");
    case VarType::Variant:
        break;
    }
    return QStringLiteral("Variant");
}

bool Variant::isMissing() const {
    const auto* error = std::get_if<ErrorCode>(&m_value);
    return error && error->code == hr::DISP_E_PARAMNOTFOUND;
}

bool Variant::isArray() const {
    return std::holds_alternative<std::shared_ptr<VariantArray>>(m_value) ||
           std::holds_alternative<ByteArray>(m_value);
}

bool Variant::isNumeric() const {
    switch (type()) {
    case VarType::Boolean:
    case VarType::Byte:
    case VarType::Integer:
    case VarType::Long:
    case VarType::LongLong:
    case VarType::Single:
    case VarType::Double:
    case VarType::Currency:
        return true;
    default:
        return false;
    }
}

Variant Variant::objectDefaultValue() const {
    const DispatchPtr object = std::get<DispatchPtr>(m_value);
    if (!object)
        raise(vberr::ObjectNotSet);
    QList<Variant> noArgs;
    try {
        return object->invoke(dispid::Value, InvokeFlags::PropertyGet | InvokeFlags::Method,
                              noArgs);
    } catch (const AutomationError&) {
        raise(vberr::TypeMismatch);
    }
}

double Variant::numericValue() const {
    return std::visit(
        [this](const auto& value) -> double {
            using T = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<T, std::monostate>)
                return 0.0;
            else if constexpr (std::is_same_v<T, NullTag>)
                raise(vberr::InvalidUseOfNull);
            else if constexpr (std::is_same_v<T, bool>)
                return value ? -1.0 : 0.0;
            else if constexpr (std::is_same_v<T, RawBool>)
                return static_cast<double>(value.value);
            else if constexpr (std::is_arithmetic_v<T>)
                return static_cast<double>(value);
            else if constexpr (std::is_same_v<T, Currency>)
                return value.toDouble();
            else if constexpr (std::is_same_v<T, OleDate>)
                return value.value;
            else if constexpr (std::is_same_v<T, QString>) {
                const auto number = parseNumber(value);
                if (!number)
                    raise(vberr::TypeMismatch);
                return *number;
            } else if constexpr (std::is_same_v<T, DispatchPtr>)
                return objectDefaultValue().numericValue();
            else
                raise(vberr::TypeMismatch);
        },
        m_value);
}

std::int64_t Variant::roundedInteger(std::int64_t low, std::int64_t high) const {
    if (const auto* wide = std::get_if<std::int64_t>(&m_value)) {
        if (*wide < low || *wide > high)
            raise(vberr::Overflow);
        return *wide;
    }
    const double value = bankersRound(numericValue());
    if (!(value >= static_cast<double>(low) && value <= static_cast<double>(high)))
        raise(vberr::Overflow);
    return static_cast<std::int64_t>(value);
}

bool Variant::toBool() const {
    if (const auto* text = std::get_if<QString>(&m_value)) {
        const QString trimmed = text->trimmed();
        if (trimmed.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
            return true;
        if (trimmed.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
            return false;
    }
    if (const auto* flag = std::get_if<bool>(&m_value))
        return *flag;
    return numericValue() != 0.0;
}

std::uint8_t Variant::toByte() const {
    return static_cast<std::uint8_t>(roundedInteger(0, 255));
}

std::int16_t Variant::toInteger() const {
    return static_cast<std::int16_t>(roundedInteger(-32768, 32767));
}

std::int32_t Variant::toLong() const {
    return static_cast<std::int32_t>(roundedInteger(std::numeric_limits<std::int32_t>::min(),
                                                    std::numeric_limits<std::int32_t>::max()));
}

std::int64_t Variant::toLongLong() const {
    if (const auto* wide = std::get_if<std::int64_t>(&m_value))
        return *wide;
    const double value = bankersRound(numericValue());
    if (!(value >= -9.2233720368547758e18 && value < 9.2233720368547758e18))
        raise(vberr::Overflow);
    return static_cast<std::int64_t>(value);
}

float Variant::toSingle() const {
    const double value = numericValue();
    if (std::isfinite(value) && std::fabs(value) > std::numeric_limits<float>::max())
        raise(vberr::Overflow);
    return static_cast<float>(value);
}

double Variant::toDouble() const {
    return numericValue();
}

Currency Variant::toCurrency() const {
    if (const auto* money = std::get_if<Currency>(&m_value))
        return *money;
    return Currency::fromDouble(numericValue());
}

OleDate Variant::toDate() const {
    if (const auto* date = std::get_if<OleDate>(&m_value))
        return *date;
    if (const auto* text = std::get_if<QString>(&m_value)) {
        for (const auto format : {Qt::ISODate, Qt::TextDate, Qt::RFC2822Date}) {
            const QDateTime parsed = QDateTime::fromString(text->trimmed(), format);
            if (parsed.isValid())
                return OleDate::fromDateTime(parsed);
        }
        const QDate date = QDate::fromString(text->trimmed(), Qt::ISODate);
        if (date.isValid())
            return OleDate::fromDateTime(QDateTime(date, QTime(0, 0)));
    }
    return OleDate{numericValue()};
}

QString Variant::toString() const {
    return std::visit(
        [this](const auto& value) -> QString {
            using T = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<T, std::monostate>)
                return {};
            else if constexpr (std::is_same_v<T, NullTag>)
                raise(vberr::InvalidUseOfNull);
            else if constexpr (std::is_same_v<T, ErrorCode>)
                return QStringLiteral("Error %1").arg(value.code);
            else if constexpr (std::is_same_v<T, bool>)
                return value ? QStringLiteral("True") : QStringLiteral("False");
            else if constexpr (std::is_same_v<T, RawBool>)
                return QStringLiteral("True");
            else if constexpr (std::is_same_v<T, float>)
                return formatDouble(value, 7);
            else if constexpr (std::is_same_v<T, double>)
                return formatDouble(value, 15);
            else if constexpr (std::is_integral_v<T>)
                return QString::number(value);
            else if constexpr (std::is_same_v<T, Currency>)
                return formatCurrency(value);
            else if constexpr (std::is_same_v<T, OleDate>) {
                const QDateTime dateTime = value.toDateTime();
                if (dateTime.time() == QTime(0, 0))
                    return dateTime.date().toString(Qt::ISODate);
                if (std::trunc(value.value) == 0)
                    return dateTime.time().toString(Qt::ISODate);
                return dateTime.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            } else if constexpr (std::is_same_v<T, QString>)
                return value;
            else if constexpr (std::is_same_v<T, DispatchPtr>)
                return objectDefaultValue().toString();
            else
                raise(vberr::TypeMismatch);
        },
        m_value);
}

DispatchPtr Variant::toObject() const {
    if (const auto* object = std::get_if<DispatchPtr>(&m_value))
        return *object;
    raise(vberr::TypeMismatch);
}

std::int32_t Variant::errorCode() const {
    if (const auto* error = std::get_if<ErrorCode>(&m_value))
        return error->code;
    raise(vberr::TypeMismatch);
}

QByteArray Variant::toBytes() const {
    if (const auto* bytes = std::get_if<ByteArray>(&m_value))
        return bytes->bytes;
    if (const auto* array = std::get_if<std::shared_ptr<VariantArray>>(&m_value)) {
        QByteArray bytes;
        bytes.reserve((*array)->items.size());
        for (const Variant& item : (*array)->items)
            bytes.append(static_cast<char>(item.toByte()));
        return bytes;
    }
    if (const auto* text = std::get_if<QString>(&m_value))
        return text->toUtf8();
    raise(vberr::TypeMismatch);
}

VariantArray Variant::toArray() const {
    if (const auto* array = std::get_if<std::shared_ptr<VariantArray>>(&m_value))
        return **array;
    if (const auto* bytes = std::get_if<ByteArray>(&m_value)) {
        VariantArray array{bytes->lowerBound, {}};
        array.items.reserve(bytes->bytes.size());
        for (const char byte : bytes->bytes)
            array.items.append(Variant(static_cast<std::uint8_t>(byte)));
        return array;
    }
    raise(vberr::TypeMismatch);
}

Variant Variant::convertTo(VarType target) const {
    switch (target) {
    case VarType::Variant:
        return *this;
    case VarType::Empty:
        return {};
    case VarType::Null:
        return null();
    case VarType::Boolean:
        return type() == VarType::Boolean ? *this : Variant(toBool());
    case VarType::Byte:
        return Variant(toByte());
    case VarType::Integer:
        return Variant(toInteger());
    case VarType::Long:
        return Variant(toLong());
    case VarType::LongLong:
        return Variant(toLongLong());
    case VarType::Single:
        return Variant(toSingle());
    case VarType::Double:
        return Variant(toDouble());
    case VarType::Currency:
        return Variant(toCurrency());
    case VarType::Date:
        return Variant(toDate());
    case VarType::String:
        return Variant(toString());
    case VarType::Object:
        return Variant(toObject());
    case VarType::Error:
        return error(errorCode());
    case VarType::Array:
        if (!isArray())
            raise(vberr::TypeMismatch);
        return *this;
    }
    raise(vberr::TypeMismatch);
}

bool operator==(const Variant& a, const Variant& b) {
    if (a.m_value.index() != b.m_value.index())
        return false;
    if (const auto* left = std::get_if<std::shared_ptr<VariantArray>>(&a.m_value)) {
        const auto& right = std::get<std::shared_ptr<VariantArray>>(b.m_value);
        return (*left)->lowerBound == right->lowerBound && (*left)->items == right->items;
    }
    return a.m_value == b.m_value;
}
