#include "KestWebviewKD.h"

#include "HostValues.h"

#include "webview2_binding/cWebView2.h"

#include <QEvent>

using namespace hostvalues;
using P = PersistedProperties;

namespace {

constexpr int AnchoredMinimumTwips = 512;

} // namespace

void KestWebviewKD::layoutPane() {
    if (!m_pane)
        return;
    const int margin = toPixels(PaneMarginTwips);
    m_pane->setGeometry(margin, margin, std::max(0, width() - 2 * margin),
                        std::max(0, height() - 2 * margin));
    if (m_wv)
        m_wv->SyncSizeToHostWindow();
}

bool KestWebviewKD::runMode() const {
    return !m_site || m_site->ambientProperties().userMode;
}

void KestWebviewKD::setUpAnchoring() {
    if (m_anchorParent)
        m_anchorParent->removeEventFilter(this);
    m_anchorParent = parentWidget();
    if (!m_anchorParent)
        return;
    const QRect own = geometry();
    const QSize outer = m_anchorParent->size();
    m_anchorMargins = QMargins(own.left(), own.top(), outer.width() - own.width() - own.left(),
                               outer.height() - own.height() - own.top());
    m_anchorParent->installEventFilter(this);
}

void KestWebviewKD::followAnchorParent() {
    const int minimum = toPixels(AnchoredMinimumTwips);
    const QSize outer = m_anchorParent->size();
    setGeometry(
        m_anchorMargins.left(), m_anchorMargins.top(),
        std::max(minimum, outer.width() - m_anchorMargins.left() - m_anchorMargins.right()),
        std::max(minimum, outer.height() - m_anchorMargins.top() - m_anchorMargins.bottom()));
}

bool KestWebviewKD::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_anchorParent && event->type() == QEvent::Resize && m_props.flag(P::Anchor))
        followAnchorParent();
    return QWidget::eventFilter(watched, event);
}

void KestWebviewKD::showEvent(QShowEvent* event) {
    m_shown = true;
    QWidget::showEvent(event);
}

void KestWebviewKD::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutPane();
}

void KestWebviewKD::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    if (m_wv)
        m_wv->SetFocus(0);
}
