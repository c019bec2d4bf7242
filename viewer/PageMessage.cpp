#include "PageMessage.h"

#include "platform/automation/AutomationError.h"
#include "platform/automation/Variant.h"

#include <QRegularExpression>

namespace pagemessage {

namespace {

template <typename T, typename Convert> std::optional<T> convert(const QString& text, Convert how) {
    if (text.trimmed().isEmpty())
        return std::nullopt;
    try {
        return how(Variant(text));
    } catch (const AutomationError&) {
        return std::nullopt;
    }
}

} // namespace

std::optional<QString> value(const QString& content, const QString& key) {
    const QString marker = QLatin1Char('"') + key + QStringLiteral("\":\"");
    const qsizetype at = content.indexOf(marker);
    if (at < 0)
        return QString();
    const qsizetype start = at + marker.size();
    const qsizetype end = content.indexOf(QLatin1Char('"'), start);
    if (end < 0)
        return std::nullopt;
    return content.mid(start, end - start);
}

std::optional<std::int16_t> toInteger(const QString& text) {
    return convert<std::int16_t>(text, [](const Variant& v) { return v.toInteger(); });
}

std::optional<std::int32_t> toLong(const QString& text) {
    return convert<std::int32_t>(text, [](const Variant& v) { return v.toLong(); });
}

std::optional<double> toDouble(const QString& text) {
    return convert<double>(text, [](const Variant& v) { return v.toDouble(); });
}

double numericPrefix(const QString& text) {
    static const QRegularExpression number(
        QStringLiteral("^\\s*([+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?)"));
    const auto match = number.match(text);
    return match.hasMatch() ? match.captured(1).toDouble() : 0.0;
}

} // namespace pagemessage
