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

qsizetype MeasurementList::find(const QString& id) const {
    for (qsizetype i = 0; i < m_measurements.size(); ++i) {
        if (m_measurements[i].value(QStringLiteral("id")).toString() == id)
            return i;
    }
    return -1;
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
    const qsizetype at = find(id);
    if (action == QLatin1String("added")) {
        if (at >= 0 || m_measurements.size() >= MaxMeasurements)
            return std::nullopt;
        m_measurements.append(measurement);
    } else if (action == QLatin1String("modified")) {
        if (at < 0)
            return std::nullopt;
        m_measurements[at] = measurement;
    } else if (action == QLatin1String("removed")) {
        if (at < 0)
            return std::nullopt;
        measurement = m_measurements.takeAt(at);
    } else {
        return std::nullopt;
    }
    return Change{id, action, compact(measurement)};
}

QString MeasurementList::json() const {
    QJsonArray all;
    for (const QJsonObject& measurement : m_measurements)
        all.append(measurement);
    return QString::fromUtf8(QJsonDocument(all).toJson(QJsonDocument::Compact));
}
