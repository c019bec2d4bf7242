#include "platform/automation/ComServer.h"

// The control library's in-process server: the classes it serves and its four
// exported entry points.
namespace {

ComServer& server() {
    static ComServer instance;
    return instance;
}

} // namespace

KEST_COM_SERVER_ENTRY_POINTS(server)
