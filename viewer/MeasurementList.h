#pragma once

#include <QHash>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <optional>

// The measurements of the document shown, as the image page reports them: one
// JSON object per measurement (its id, tool, image, points, values and
// calibration), in the order they were drawn.
class MeasurementList {
public:
    struct Change {
        QString id;
        QString action; // "added", "modified" or "removed"
        QString json;   // the measurement, compact
    };

    // The most measurements kept: a page cannot make the host hold more.
    static constexpr qsizetype MaxMeasurements = 10000;

    // Applies a "measurementChanged" message; nothing when it does not hold
    // together (an unknown action, a bad id, a change of a measurement never
    // added, an addition past the limit).
    std::optional<Change> apply(const QString& message);

    bool contains(const QString& id) const { return m_byId.contains(id); }
    // Every measurement, as a JSON array.
    QString json() const;
    void clear() {
        m_order.clear();
        m_byId.clear();
    }

    // An identifier the page accepts: letters, digits and "-", at most 64 characters.
    static bool isIdentifier(const QString& id);

private:
    QStringList m_order;
    QHash<QString, QJsonObject> m_byId;
};
