#pragma once

#include "platform/automation/Dispatch.h"

#include <QList>
#include <QString>

// One method call or property assignment the form sent, with its arguments as sent.
struct SentCall {
    QString member;
    unsigned kind = 0;
    QList<Variant> args;
};

// Stands between the form and the real viewer: every call goes through to the viewer, and the
// method calls and property assignments are recorded on the way (property reads are not).
class RecordingViewer : public Dispatch {
public:
    explicit RecordingViewer(DispatchPtr viewer)
        : m_viewer(std::move(viewer)) {}

    const TypeInfo* typeInfo() const override { return m_viewer->typeInfo(); }
    DispId idOfName(const QString& name) const override { return m_viewer->idOfName(name); }
    Variant invoke(DispId id, unsigned flags, QList<Variant>& args) override;
    bool hasHandler(DispId id, unsigned kind) const override {
        return m_viewer->hasHandler(id, kind);
    }
    Control* control() override { return m_viewer->control(); }
    EventSource* eventSource() override { return m_viewer->eventSource(); }

    Dispatch& real() const { return *m_viewer; }
    // True when the viewer on this branch serves the method (a call would not raise 438).
    bool serves(const QString& method) const;

    QList<SentCall> sent;

private:
    DispatchPtr m_viewer;
};
