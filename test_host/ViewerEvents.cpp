#include "ViewerEvents.h"

#include "platform/automation/AutomationError.h"
#include "platform/automation/EventSource.h"

namespace {

// The argument declared under that name; Empty when the event has no such argument.
Variant argument(const EventInfo& event, const QList<Variant>& args, const char* name) {
    for (qsizetype i = 0; i < event.params.size() && i < args.size(); ++i) {
        if (event.params[i].name == QLatin1String(name))
            return args[i];
    }
    return {};
}

} // namespace

ViewerEvents::ViewerEvents(Dispatch& viewer, ViewerEventHandler& handler)
    : m_viewer(viewer)
    , m_handler(handler) {
    EventSource* source = viewer.eventSource();
    if (!source)
        throw AutomationError(vberr::CannotCreateObject,
                              QStringLiteral("The viewer raises no events"));
    m_cookie = source->advise(std::make_shared<FunctionEventSink>(
        [this](DispId id, const QString&, QList<Variant>& args) { dispatch(id, args); }));
}

ViewerEvents::~ViewerEvents() {
    m_viewer.eventSource()->unadvise(m_cookie);
}

void ViewerEvents::dispatch(DispId id, const QList<Variant>& args) {
    const EventInfo* event = m_viewer.typeInfo() ? m_viewer.typeInfo()->findEvent(id) : nullptr;
    if (!event)
        return;
    const auto arg = [&](const char* name) {
        return argument(*event, args, name);
    };
    const QString& name = event->name;
    if (name == QLatin1String("BeforeLoading"))
        m_handler.beforeLoading();
    else if (name == QLatin1String("ImageLoaded"))
        m_handler.imageLoaded(arg("FileName").toString(), arg("NoImage").toBool());
    else if (name == QLatin1String("TagsStatusChange"))
        m_handler.tagsStatusChange(arg("IsTagVisible").toBool());
    else if (name == QLatin1String("InvertStatusChange"))
        m_handler.invertStatusChange(arg("IsInverted").toBool());
    else if (name == QLatin1String("SidebarStatusChange"))
        m_handler.sidebarStatusChange(arg("IsSidebarVisible").toBool());
    else if (name == QLatin1String("ToolSelected"))
        m_handler.toolSelected(arg("ToolNum").toLong());
    else if (name == QLatin1String("MeasurementChanged"))
        m_handler.measurementChanged(arg("Id").toString(), arg("Action").toString(),
                                     arg("Json").toString());
}
