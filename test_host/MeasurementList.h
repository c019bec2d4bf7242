#pragma once

#include <QDockWidget>

class QListWidget;

// The form's list of the viewer's measurements, a line each with its values,
// kept from the viewer's MeasurementChanged events; shown and hidden from the
// Measurements menu.
class MeasurementListDock : public QDockWidget {
public:
    explicit MeasurementListDock(QWidget* parent);

    // One MeasurementChanged event: "added", "modified" or "removed".
    void apply(const QString& id, const QString& action, const QString& json);
    // A new document starts with no measurement.
    void clear();
    QListWidget& list() const { return *m_list; }

    // The line shown for a measurement's JSON ("Length: 10 mm", ...).
    static QString lineOf(const QString& json);

private:
    QListWidget* m_list;
};
