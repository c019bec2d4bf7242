#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <cstdint>
#include <memory>
#include <variant>

class Dispatch;
class Variant;
using DispatchPtr = std::shared_ptr<Dispatch>;

// Automation Boolean: 16 bits, True is -1 and False is 0.
using VBool = std::int16_t;
constexpr VBool VTrue = -1;
constexpr VBool VFalse = 0;
constexpr VBool toVBool(bool value) {
    return value ? VTrue : VFalse;
}

// The variant type codes, with their automation numbering.
enum class VarType : std::uint16_t {
    Empty = 0,
    Null = 1,
    Integer = 2,
    Long = 3,
    Single = 4,
    Double = 5,
    Currency = 6,
    Date = 7,
    String = 8,
    Object = 9,
    Error = 10,
    Boolean = 11,
    Variant = 12,
    Byte = 17,
    LongLong = 20,
    Array = 0x2000,
};

// 64-bit fixed point with four decimals.
struct Currency {
    std::int64_t scaled = 0;

    static Currency fromDouble(double value);
    double toDouble() const { return static_cast<double>(scaled) / 10000.0; }
    friend bool operator==(const Currency&, const Currency&) = default;
};

// OLE date: days since 30 December 1899, the fraction being the time of day.
struct OleDate {
    double value = 0;

    static OleDate fromDateTime(const QDateTime& dateTime);
    QDateTime toDateTime() const;
    friend bool operator==(const OleDate&, const OleDate&) = default;
};

// A one-dimensional array with any lower bound.
struct VariantArray {
    std::int32_t lowerBound = 0;
    QList<Variant> items;

    std::int32_t upperBound() const {
        return lowerBound + static_cast<std::int32_t>(items.size()) - 1;
    }
};

// The automation variant. Empty, Null and a missing optional argument are told
// apart; conversions follow the automation rules and raise error 13 (type
// mismatch), 6 (overflow) or 94 (invalid use of Null).
class Variant {
public:
    Variant() = default;
    Variant(bool value)
        : m_value(value) {}
    Variant(std::uint8_t value)
        : m_value(value) {}
    Variant(std::int16_t value)
        : m_value(value) {}
    Variant(std::int32_t value)
        : m_value(value) {}
    Variant(std::int64_t value)
        : m_value(value) {}
    Variant(float value)
        : m_value(value) {}
    Variant(double value)
        : m_value(value) {}
    Variant(Currency value)
        : m_value(value) {}
    Variant(OleDate value)
        : m_value(value) {}
    Variant(const QString& value)
        : m_value(value) {}
    Variant(const char* utf8)
        : m_value(QString::fromUtf8(utf8)) {}
    Variant(DispatchPtr object)
        : m_value(std::move(object)) {}
    Variant(VariantArray array)
        : m_value(std::make_shared<VariantArray>(std::move(array))) {}

    static Variant null();
    // The value of an omitted optional argument.
    static Variant missing();
    // An automation error value (the type a missing argument also has).
    static Variant error(std::int32_t code);
    // A Byte array, held as bytes.
    static Variant fromBytes(const QByteArray& bytes, std::int32_t lowerBound = 0);
    // A Boolean with its raw 16-bit value: nonzero is true, but only -1 is True.
    static Variant fromVBool(VBool value);

    VarType type() const;
    // The element type of an array (Variant or Byte), or Empty for a scalar.
    VarType elementType() const;
    QString typeName() const;

    bool isEmpty() const { return std::holds_alternative<std::monostate>(m_value); }
    bool isNull() const { return std::holds_alternative<NullTag>(m_value); }
    bool isMissing() const;
    bool isError() const { return std::holds_alternative<ErrorCode>(m_value); }
    bool isObject() const { return std::holds_alternative<DispatchPtr>(m_value); }
    bool isArray() const;
    bool isString() const { return std::holds_alternative<QString>(m_value); }
    bool isNumeric() const;

    bool toBool() const;
    // The raw 16-bit value of a Boolean; other values convert to -1 or 0.
    VBool toVBool() const;
    std::uint8_t toByte() const;
    std::int16_t toInteger() const;
    std::int32_t toLong() const;
    std::int64_t toLongLong() const;
    float toSingle() const;
    double toDouble() const;
    Currency toCurrency() const;
    OleDate toDate() const;
    QString toString() const;
    // The object, or a null pointer for Nothing; other values are a type mismatch.
    DispatchPtr toObject() const;
    std::int32_t errorCode() const;

    // Array access: the bytes of a Byte array, or the items of any array.
    QByteArray toBytes() const;
    VariantArray toArray() const;

    // Converts to the given type; VarType::Variant keeps the value as it is.
    Variant convertTo(VarType type) const;

    // Same type and same value; arrays compare item by item, objects by identity.
    friend bool operator==(const Variant& a, const Variant& b);

private:
    struct NullTag {
        friend bool operator==(NullTag, NullTag) { return true; }
    };
    struct ErrorCode {
        std::int32_t code = 0;
        friend bool operator==(ErrorCode, ErrorCode) = default;
    };
    // A Boolean holding a value other than -1 or 0, as a raw 16-bit Boolean can.
    struct RawBool {
        std::int16_t value = 0;
        friend bool operator==(RawBool, RawBool) = default;
    };
    struct ByteArray {
        QByteArray bytes;
        std::int32_t lowerBound = 0;
        friend bool operator==(const ByteArray&, const ByteArray&) = default;
    };
    using Storage =
        std::variant<std::monostate, NullTag, ErrorCode, bool, std::uint8_t, std::int16_t,
                     std::int32_t, std::int64_t, float, double, Currency, OleDate, QString,
                     DispatchPtr, std::shared_ptr<VariantArray>, ByteArray, RawBool>;

    double numericValue() const;
    std::int64_t roundedInteger(std::int64_t low, std::int64_t high) const;
    Variant objectDefaultValue() const;

    Storage m_value;
};
