#include "ViewerFactory.h"

#include "browser_host/KestWebviewKD.h"
#include "viewer/KestDicomViewAX.h"

DispatchPtr createViewer() {
    return std::make_shared<KestDicomViewAX>([] { return KestWebviewKD::create(); });
}
