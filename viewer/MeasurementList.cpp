#include "MeasurementList.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>

namespace {

QString compact(const QJsonObject& object) {
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

} // namespace

bool MeasurementList::isIdentifier(const QString& id) {
    if (id.isEmpty() || id.size() > 64)
        return false;
    return std::all_of(id.begin(), id.end(), [](QChar c) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
               c == u'-';
    });
}

std::optional<MeasurementList::Change> MeasurementList::apply(const QString& message) {
    const QJsonObject change = QJsonDocument::fromJson(message.toUtf8()).object();
    const QString id = change.value(QStringLiteral("id")).toString();
    const QString action = change.value(QStringLiteral("action")).toString();
    QJsonObject measurement = change.value(QStringLiteral("measurement")).toObject();
    if (!isIdentifier(id) || measurement.isEmpty())
        return std::nullopt;
    // The measurement's own id is the message's, whatever the page wrote in it.
    measurement.insert(QStringLiteral("id"), id);
    const bool known = m_byId.contains(id);
    if (action == QLatin1String("added")) {
        if (known || m_order.size() >= MaxMeasurements)
            return std::nullopt;
        m_order.append(id);
        m_byId.insert(id, measurement);
    } else if (action == QLatin1String("modified")) {
        if (!known)
            return std::nullopt;
        m_byId.insert(id, measurement);
    } else if (action == QLatin1String("removed")) {
        if (!known)
            return std::nullopt;
        measurement = m_byId.take(id);
        m_order.removeOne(id);
    } else {
        return std::nullopt;
    }
    return Change{id, action, compact(measurement)};
}

QString MeasurementList::json() const {
    QJsonArray all;
    for (const QString& id : m_order)
        all.append(m_byId.value(id));
    return QString::fromUtf8(QJsonDocument(all).toJson(QJsonDocument::Compact));
}
