#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>

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

    bool contains(const QString& id) const { return find(id) >= 0; }
    // Every measurement, as a JSON array.
    QString json() const;
    void clear() { m_measurements.clear(); }

    // An identifier the page accepts: letters, digits and "-", at most 64 characters.
    static bool isIdentifier(const QString& id);

private:
    qsizetype find(const QString& id) const;

    QList<QJsonObject> m_measurements;
};
