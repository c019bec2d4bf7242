#include "KestWebviewKD.h"

#include "HostValues.h"
#include "KestWebviewKDTypeInfo.h"
#include "modKWVUrl.h"

#include "support/modWait.h"
#include "webview2_binding/cWebView2.h"

using namespace hostvalues;
using P = PersistedProperties;

namespace {

constexpr int StartupIntervalMs = 100;
constexpr int AutoSearchIntervalMs = 1000;
constexpr int SourceChangeIntervalMs = 1500;

} // namespace

std::shared_ptr<KestWebviewKD> KestWebviewKD::create() {
    auto* control = new KestWebviewKD;
    QPointer<QWidget> guard(control);
    return std::shared_ptr<KestWebviewKD>(control, [guard](KestWebviewKD* object) {
        if (guard)
            delete object;
    });
}

KestWebviewKD::KestWebviewKD()
    : DispatchObject(kestWebviewKDTypeInfo())
    , m_events(kestWebviewKDTypeInfo()) {
    m_pane = new QWidget(this);
    m_pane->setObjectName(QStringLiteral("picWV"));
    m_pane->move(toPixels(PaneMarginTwips), toPixels(PaneMarginTwips));
    m_pane->show();
    setFocusPolicy(Qt::StrongFocus);
    applyBorderStyle();
    applyBackColor(P::ButtonFaceColour);
    m_searchTemplate = kwvurl::searchTemplate(kwvurl::DefaultEngine, {});
    for (QTimer* timer : {&m_timer1, &m_timer1Ex})
        timer->setInterval(StartupIntervalMs);
    m_timer2.setInterval(AutoSearchIntervalMs);
    m_timerSourceChange.setInterval(SourceChangeIntervalMs);
    connect(&m_timer1, &QTimer::timeout, this, [this] { startupTick(false); });
    connect(&m_timer1Ex, &QTimer::timeout, this, [this] { startupTick(true); });
    connect(&m_timer2, &QTimer::timeout, this, [this] { autoSearch(); });
    connect(&m_timerSourceChange, &QTimer::timeout, this, [this] { onSourceChangeTick(); });
    bindMembers();
}

KestWebviewKD::~KestWebviewKD() {
    // The pumps below run events: no timer may start work on a dying control.
    for (QTimer* timer : {&m_timer1, &m_timer1Ex, &m_timer2, &m_timerSourceChange})
        timer->stop();
    releaseBrowser();
    waits::pump(100);
    if (m_privateNavigation)
        deletePrivateFolder(1000);
}
