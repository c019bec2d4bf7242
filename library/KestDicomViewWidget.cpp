#include "KestDicomViewWidget.h"

#include "ViewerFactory.h"

#include <QVBoxLayout>

KestDicomViewWidget::KestDicomViewWidget(QWidget* parent)
    : QWidget(parent)
    , m_control(createViewer()) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    Control* control = m_control->control();
    control->initNew();
    layout->addWidget(control->widget());
}

KestDicomViewWidget::~KestDicomViewWidget() {
    // The control owns its widget; take it back before this widget deletes its children.
    m_control->control()->widget()->setParent(nullptr);
}

bool KestDicomViewWidget::LoadDicomFile(const QString& path) {
    return m_control->call(QStringLiteral("LoadDicomFile"), {Variant(path)}).toBool();
}

bool KestDicomViewWidget::IsDicomFile(const QString& path) {
    return m_control->call(QStringLiteral("IsDicomFile"), {Variant(path)}).toBool();
}
