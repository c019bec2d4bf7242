#pragma once

#include "platform/automation/Dispatch.h"

#include <QString>

// What the form does with the viewer's events it handles. Other events are not handled;
// ImagePixelClic is received and ignored.
class ViewerEventHandler {
public:
    virtual ~ViewerEventHandler() = default;
    virtual void beforeLoading() = 0;
    virtual void imageLoaded(const QString& fileName, bool noImage) = 0;
    virtual void tagsStatusChange(bool isTagVisible) = 0;
    virtual void invertStatusChange(bool isInverted) = 0;
    virtual void sidebarStatusChange(bool isSidebarVisible) = 0;
    virtual void toolSelected(int toolNum) = 0;
    virtual void measurementChanged(const QString& id, const QString& action,
                                    const QString& json) = 0;
};

// Subscribes a handler to the viewer's events for the life of this object. Arguments are taken
// by their names in the viewer's event declarations.
class ViewerEvents {
public:
    ViewerEvents(Dispatch& viewer, ViewerEventHandler& handler);
    ~ViewerEvents();
    ViewerEvents(const ViewerEvents&) = delete;
    ViewerEvents& operator=(const ViewerEvents&) = delete;

private:
    void dispatch(DispId id, const QList<Variant>& args);

    Dispatch& m_viewer;
    ViewerEventHandler& m_handler;
    int m_cookie = 0;
};
