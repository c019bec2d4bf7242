#include "ViewerFactory.h"

#include "platform/automation/ComServer.h"

// The control library's in-process server: the viewer class it serves, with
// identities fixed once, and its four exported entry points.
namespace {

const Guid ViewerClassId = *Guid::fromString("{7E1C4B52-9A3D-4F61-B8E2-5D0C3A9F1E47}");
const Guid TypeLibraryId = *Guid::fromString("{7E1C4B52-9A3D-4F61-B8E2-5D0C3A9F1E40}");

ComServer& server() {
    static ComServer instance;
    static const bool ready = [] {
        instance.addClass({ViewerClassId, QStringLiteral("KestDicomViewControl.KestDicomViewAX"),
                           QStringLiteral("KestDicomViewAX"), true, TypeLibraryId,
                           QStringLiteral("KestDicomViewControl"), QStringLiteral("1.0"),
                           createViewer});
        return true;
    }();
    Q_UNUSED(ready);
    return instance;
}

} // namespace

KEST_COM_SERVER_ENTRY_POINTS(server)
