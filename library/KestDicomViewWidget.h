#pragma once

#include "platform/automation/ControlSite.h"
#include "platform/automation/Dispatch.h"
#include "platform/automation/EventSource.h"

#include <QWidget>

#include <memory>

#define KEST_DICOMVIEW_EXPORT __attribute__((visibility("default")))

// The viewer for C++ hosts that link the control library: a QWidget that
// holds the control, with its automation surface for every member and event.
//
//   KestDicomViewWidget viewer;
//   viewer.events().advise(std::make_shared<FunctionEventSink>(...));
//   viewer.LoadDicomFile("/data/ct.dcm");
class KEST_DICOMVIEW_EXPORT KestDicomViewWidget : public QWidget {
public:
    explicit KestDicomViewWidget(QWidget* parent = nullptr);
    ~KestDicomViewWidget() override;

    // Members by name, as automation hosts call them ("SelectTool", "dcmPatientName", ...).
    Dispatch& control() { return *m_control; }
    EventSource& events() { return *m_control->eventSource(); }

    bool LoadDicomFile(const QString& path);
    bool IsDicomFile(const QString& path);

private:
    DispatchPtr m_control;
};
