#include "modKWVJson.h"

#include "platform/automation/AutomationError.h"

#include <cmath>

namespace kwvjson {

namespace {

QString valueUpTo(const QString& json, qsizetype start, QChar end) {
    const qsizetype stop = json.indexOf(end, start);
    if (stop < 0)
        throw AutomationError::standard(vberr::InvalidProcedureCall);
    return json.mid(start, stop - start);
}

Variant unquotedValue(const QString& raw) {
    const QString lower = raw.toLower();
    if (lower == QLatin1String("false"))
        return Variant(false);
    if (lower == QLatin1String("true"))
        return Variant(true);
    bool ok = false;
    const double number = raw.toDouble(&ok);
    // "inf" and "nan" are not numbers to the page's reader.
    return ok && std::isfinite(number) ? Variant(number) : Variant(raw);
}

} // namespace

Variant extractJsonValue(const QString& json, const QString& key) {
    const QString quotedKey = QLatin1Char('"') + key + QStringLiteral("\":");
    const qsizetype quoted = json.indexOf(quotedKey + QLatin1Char('"'));
    if (quoted >= 0)
        return Variant(valueUpTo(json, quoted + quotedKey.size() + 1, QLatin1Char('"')));
    const qsizetype bare = json.indexOf(quotedKey);
    if (bare >= 0)
        return unquotedValue(valueUpTo(json, bare + quotedKey.size(), QLatin1Char(',')));
    return {};
}

} // namespace kwvjson
