#include "MeasurementList.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QListWidget>

namespace {

QString number(const QJsonObject& measurement, const char* key, const QString& unit) {
    const QJsonValue value = measurement.value(QLatin1String(key));
    if (!value.isDouble())
        return {};
    return QString::number(value.toDouble(), 'f', 2) + (unit.isEmpty() ? QString() : ' ' + unit);
}

} // namespace

MeasurementListDock::MeasurementListDock(QWidget* parent)
    : QDockWidget(QStringLiteral("Measurements"), parent)
    , m_list(new QListWidget(this)) {
    setObjectName(QStringLiteral("dockMeasurements"));
    m_list->setObjectName(QStringLiteral("lstMeasurements"));
    setWidget(m_list);
}

QString MeasurementListDock::lineOf(const QString& json) {
    const QJsonObject m = QJsonDocument::fromJson(json.toUtf8()).object();
    const QString unit = m.value(QStringLiteral("unit")).toString();
    QStringList values;
    for (const QString& value : {number(m, "length_mm", QStringLiteral("mm")),
                                 number(m, "angle_deg", QStringLiteral("deg")),
                                 number(m, "area_mm2", QStringLiteral("mm2")),
                                 number(m, "mean", unit), number(m, "modality", unit)}) {
        if (!value.isEmpty())
            values.append(value);
    }
    if (values.isEmpty())
        values = {number(m, "length_px", QStringLiteral("px")),
                  number(m, "area_px", QStringLiteral("px"))};
    values.removeAll(QString());
    return m.value(QStringLiteral("tool")).toString() + QStringLiteral(": ") +
           values.join(QStringLiteral(", "));
}

void MeasurementListDock::apply(const QString& id, const QString& action, const QString& json) {
    QListWidgetItem* found = nullptr;
    for (int row = 0; row < m_list->count() && !found; ++row) {
        if (m_list->item(row)->data(Qt::UserRole).toString() == id)
            found = m_list->item(row);
    }
    if (action == QLatin1String("removed")) {
        delete found;
        return;
    }
    if (!found) {
        found = new QListWidgetItem(m_list);
        found->setData(Qt::UserRole, id);
    }
    found->setText(lineOf(json));
}

void MeasurementListDock::clear() {
    m_list->clear();
}
