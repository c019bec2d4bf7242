#include "JsonCodec.h"

#include "Collection.h"

#include "platform/automation/AutomationError.h"

#include <charconv>
#include <cmath>

namespace json {

namespace {

constexpr int MaxDepth = 512;

// The longest usable prefix as a number, with "." as the decimal mark whatever
// the process locale (the C library's conversions follow LC_NUMERIC); 0 when
// no prefix is a number, as the invariant reader answers.
double invariantNumberPrefix(const QByteArray& run) {
    const char* first = run.constData();
    const char* last = first + run.size();
    if (first != last && *first == '+')
        ++first;
    double value = 0;
    if (std::from_chars(first, last, value).ec != std::errc())
        return 0;
    return value;
}

QString encodeNumber(const Variant& value) {
    QString text = value.toString();
    // Magnitudes below 1 keep their leading 0 ("0.5", "-0.5").
    if (text.startsWith(QLatin1Char('.')))
        text.prepend(QLatin1Char('0'));
    else if (text.startsWith(QLatin1String("-.")))
        text.insert(1, QLatin1Char('0'));
    return text;
}

QString encodeCollection(const Collection& collection) {
    QString text = QStringLiteral("{");
    for (int i = 1; i <= collection.count(); ++i) {
        if (i > 1)
            text += QLatin1Char(',');
        text += quote(collection.key(i)) + QLatin1Char(':') + encode(collection.item(i));
    }
    return text + QLatin1Char('}');
}

QString encodeObject(const Variant& value) {
    const DispatchPtr object = value.toObject();
    if (!object)
        return QStringLiteral("null");
    if (const auto collection = std::dynamic_pointer_cast<Collection>(object))
        return encodeCollection(*collection);
    const TypeInfo* info = object->typeInfo();
    const QString typeName = info
                                 ? info->interfaceName.mid(info->interfaceName.lastIndexOf('_') + 1)
                                 : QStringLiteral("Object");
    throw AutomationError(vberr::TypeMismatch,
                          QStringLiteral("Unsupported object type for JSON encoding: ") + typeName);
}

class Parser {
public:
    Parser(const QString& text, qsizetype& position)
        : m_text(text)
        , m_pos(position) {}

    Variant value(int depth) {
        if (depth > MaxDepth)
            throw AutomationError(
                vberr::InvalidProcedureCall,
                QStringLiteral("JSON nested deeper than %1 levels").arg(MaxDepth));
        skipBlanks();
        switch (current().unicode()) {
        case '{':
            return object(depth);
        case '[':
            return array(depth);
        case '"':
            return Variant(string());
        case 't':
            m_pos += 4;
            return Variant(true);
        case 'f':
            m_pos += 5;
            return Variant(false);
        case 'n':
            m_pos += 4;
            return Variant::null();
        default:
            return number();
        }
    }

private:
    bool atEnd() const { return m_pos > m_text.size(); }
    QChar current() const { return atEnd() ? QChar() : m_text[m_pos - 1]; }

    void skipBlanks() {
        while (!atEnd() &&
               (current() == ' ' || current() == '\t' || current() == '\r' || current() == '\n'))
            ++m_pos;
    }

    Variant object(int depth) {
        auto collection = Collection::create();
        ++m_pos;
        skipBlanks();
        if (current() != '}') {
            while (!atEnd()) {
                skipBlanks();
                const QString key = string();
                skipBlanks();
                ++m_pos; // the colon
                const Variant item = value(depth + 1);
                // A repeated key replaces the earlier item.
                if (collection->contains(key))
                    collection->remove(key);
                collection->add(item, key);
                skipBlanks();
                if (current() != ',')
                    break;
                ++m_pos;
            }
        }
        ++m_pos; // the closing brace
        return Variant(std::static_pointer_cast<Dispatch>(collection));
    }

    Variant array(int depth) {
        VariantArray items;
        ++m_pos;
        skipBlanks();
        if (current() != ']') {
            while (!atEnd()) {
                items.items.append(value(depth + 1));
                skipBlanks();
                if (current() != ',')
                    break;
                ++m_pos;
            }
        }
        ++m_pos; // the closing bracket
        return Variant(std::move(items));
    }

    QString string() {
        QString result;
        ++m_pos; // the opening quote
        while (!atEnd()) {
            const QChar c = current();
            ++m_pos;
            if (c == '"')
                break;
            if (c != '\\') {
                result += c;
                continue;
            }
            result += escaped();
        }
        return result;
    }

    QChar escaped() {
        const QChar c = current();
        ++m_pos;
        switch (c.unicode()) {
        case 'n':
            return QLatin1Char('\n');
        case 'r':
            return QLatin1Char('\r');
        case 't':
            return QLatin1Char('\t');
        case 'b':
            return QChar(8);
        case 'f':
            return QChar(12);
        case 'u': {
            bool ok = false;
            const ushort unit = m_text.mid(m_pos - 1, 4).toUShort(&ok, 16);
            if (!ok || m_pos - 1 + 4 > m_text.size())
                return QLatin1Char('u');
            m_pos += 4;
            return QChar(unit);
        }
        default:
            return c;
        }
    }

    Variant number() {
        static const QString numberChars = QStringLiteral("+-0123456789.eE");
        const qsizetype start = m_pos;
        while (!atEnd() && numberChars.contains(current()))
            ++m_pos;
        const double value = invariantNumberPrefix(m_text.mid(start - 1, m_pos - start).toLatin1());
        if (value == std::trunc(value) && std::fabs(value) <= 2147483647.0)
            return Variant(static_cast<std::int32_t>(value));
        return Variant(value);
    }

    const QString& m_text;
    qsizetype& m_pos;
};

} // namespace

QString quote(const QString& text) {
    QString result;
    result.reserve(text.size() + 2);
    result += QLatin1Char('"');
    for (const QChar c : text) {
        const ushort unit = c.unicode();
        switch (unit) {
        case '"':
            result += QLatin1String("\\\"");
            break;
        case '\\':
            result += QLatin1String("\\\\");
            break;
        case '\n':
            result += QLatin1String("\\n");
            break;
        case '\r':
            result += QLatin1String("\\r");
            break;
        case '\t':
            result += QLatin1String("\\t");
            break;
        default:
            if (unit >= 0x20 && unit <= 0x7FFF)
                result += c;
            else
                result += QLatin1String("\\u") +
                          QString::number(unit, 16).rightJustified(4, QLatin1Char('0')).toUpper();
        }
    }
    result += QLatin1Char('"');
    return result;
}

QString encode(const Variant& value) {
    if (value.isArray()) {
        QStringList parts;
        for (const Variant& item : value.toArray().items)
            parts.append(encode(item));
        return QLatin1Char('[') + parts.join(QLatin1Char(',')) + QLatin1Char(']');
    }
    switch (value.type()) {
    case VarType::Empty:
    case VarType::Null:
    case VarType::Error:
        return QStringLiteral("null");
    case VarType::Boolean:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case VarType::String:
        return quote(value.toString());
    case VarType::Date:
        return quote(value.toDate().toDateTime().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")));
    case VarType::Object:
        return encodeObject(value);
    default:
        return encodeNumber(value);
    }
}

Variant parse(const QString& text, qsizetype& position) {
    return Parser(text, position).value(0);
}

Variant parse(const QString& text) {
    qsizetype position = 1;
    return parse(text, position);
}

QString collectionKeys(const Variant& value) {
    const auto collection = Collection::from(value);
    return collection ? collection->keys().join(QLatin1Char('#')) : QString();
}

} // namespace json
