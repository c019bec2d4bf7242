#include "Controller.h"

#include "CoreWebView2.h"
#include "EventArgs.h"
#include "Settings.h"

#include "platform/VirtualKeys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWebEngineView>

namespace {

template <typename T> HRESULT read(T* target, const T& value) {
    if (!target)
        return hr::E_POINTER;
    *target = value;
    return hr::S_OK;
}

bool isAccelerator(const QKeyEvent& event) {
    const int key = event.key();
    return (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier)) ||
           (key >= Qt::Key_F1 && key <= Qt::Key_F24) || key == Qt::Key_Escape;
}

} // namespace

class Controller::KeyFilter : public QObject {
public:
    explicit KeyFilter(Controller* owner)
        : m_owner(owner) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        const auto type = event->type();
        if (type == QEvent::FocusOut)
            m_owner->focusOut(watched, static_cast<const QFocusEvent&>(*event));
        if (type != QEvent::KeyPress && type != QEvent::KeyRelease)
            return false;
        // A key event passes the window and each parent widget too; only its
        // delivery to the focus widget counts.
        if (watched != QApplication::focusWidget())
            return false;
        return m_owner->acceleratorKey(event);
    }

private:
    Controller* m_owner;
};

Controller::Controller(ComPtr<ICoreWebView2Environment> environment,
                       std::shared_ptr<ProfileContext> profile, QWidget* parent)
    : m_core(makeCom<CoreWebView2>(std::move(environment), std::move(profile), parent))
    , m_keyFilter(std::make_unique<KeyFilter>(this)) {
    qApp->installEventFilter(m_keyFilter.get());
    m_focusConnection =
        QObject::connect(qApp, &QApplication::focusChanged, m_core->view(),
                         [this](QWidget* old, QWidget* now) { focusChanged(old, now); });
    m_core->view()->show();
}

Controller::~Controller() {
    Close();
}

bool Controller::usable() const {
    return !m_core->isClosed() && m_core->view();
}

void Controller::focusChanged(QWidget* old, QWidget* now) {
    QWebEngineView* view = m_core->view();
    const auto inside = [view](QWidget* widget) {
        return widget && (widget == view || view->isAncestorOf(widget));
    };
    if (inside(old) == inside(now))
        return;
    auto& handlers = inside(now) ? m_gotFocus : m_lostFocus;
    ComPtr<Controller> self(this);
    QTimer::singleShot(0, view, [self, &handlers] {
        if (self->usable())
            handlers.raise(self.get(), static_cast<IUnknown*>(nullptr));
    });
}

// Tab or Shift+Tab past the page's last or first element takes the focus out
// of the view; the host hears of it as a request to move the focus on.
void Controller::focusOut(QObject* watched, const QFocusEvent& event) {
    QWebEngineView* view = m_core->view();
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!usable() || !widget || !(widget == view || view->isAncestorOf(widget)))
        return;
    const Qt::FocusReason reason = event.reason();
    if (reason != Qt::TabFocusReason && reason != Qt::BacktabFocusReason)
        return;
    QWidget* now = QApplication::focusWidget();
    if (now && (now == view || view->isAncestorOf(now)))
        return;
    auto args = makeCom<MoveFocusRequestedArgs>();
    args->reason = reason == Qt::TabFocusReason ? COREWEBVIEW2_MOVE_FOCUS_REASON_NEXT
                                                : COREWEBVIEW2_MOVE_FOCUS_REASON_PREVIOUS;
    ComPtr<Controller> self(this);
    QTimer::singleShot(0, view, [self, args] {
        if (self->usable())
            self->m_moveFocusRequested.raise(self.get(), args.get());
    });
}

bool Controller::acceleratorKey(QEvent* event) {
    QWebEngineView* view = m_core->view();
    auto* focus = QApplication::focusWidget();
    const auto& key = static_cast<const QKeyEvent&>(*event);
    if (!usable() || !focus || !(focus == view || view->isAncestorOf(focus)) || !isAccelerator(key))
        return false;
    const bool alt = key.modifiers() & Qt::AltModifier;
    const bool release = event->type() == QEvent::KeyRelease;
    auto args = makeCom<AcceleratorKeyPressedArgs>();
    args->kind = release ? (alt ? COREWEBVIEW2_KEY_EVENT_KIND_SYSTEM_KEY_UP
                                : COREWEBVIEW2_KEY_EVENT_KIND_KEY_UP)
                         : (alt ? COREWEBVIEW2_KEY_EVENT_KIND_SYSTEM_KEY_DOWN
                                : COREWEBVIEW2_KEY_EVENT_KIND_KEY_DOWN);
    args->virtualKey = vkeys::fromQtKey(key.key());
    args->status.RepeatCount = 1;
    // X11 key codes are PC scan codes plus 8.
    args->status.ScanCode = key.nativeScanCode() >= 8 ? (key.nativeScanCode() - 8) & 0xFF : 0;
    args->status.IsMenuKeyDown = alt;
    args->status.WasKeyDown = release || key.isAutoRepeat();
    args->status.IsKeyReleased = release;
    m_acceleratorKeyPressed.raise(this, args.get());
    ComPtr<ICoreWebView2Settings> settings;
    m_core->get_Settings(settings.put());
    const bool keysEnabled = static_cast<Settings*>(settings.get())->acceleratorKeysEnabled();
    return args->handled || !keysEnabled;
}

HRESULT Controller::get_IsVisible(bool* isVisible) {
    if (!usable())
        return hr::ERROR_INVALID_STATE;
    return read(isVisible, !m_core->view()->isHidden());
}

HRESULT Controller::put_IsVisible(bool isVisible) {
    if (!usable())
        return hr::ERROR_INVALID_STATE;
    m_core->view()->setVisible(isVisible);
    return hr::S_OK;
}

HRESULT Controller::get_Bounds(RECT* bounds) {
    if (!usable())
        return hr::ERROR_INVALID_STATE;
    const QRect geometry = m_core->view()->geometry();
    return read(bounds, RECT{geometry.left(), geometry.top(), geometry.left() + geometry.width(),
                             geometry.top() + geometry.height()});
}

HRESULT Controller::put_Bounds(RECT bounds) {
    if (!usable())
        return hr::ERROR_INVALID_STATE;
    if (bounds.right < bounds.left || bounds.bottom < bounds.top)
        return hr::E_INVALIDARG;
    m_core->view()->setGeometry(bounds.left, bounds.top, bounds.right - bounds.left,
                                bounds.bottom - bounds.top);
    return hr::S_OK;
}

HRESULT Controller::get_ZoomFactor(double* zoomFactor) {
    if (!usable())
        return hr::ERROR_INVALID_STATE;
    return read(zoomFactor, m_core->view()->zoomFactor());
}

HRESULT Controller::put_ZoomFactor(double zoomFactor) {
    if (!usable())
        return hr::ERROR_INVALID_STATE;
    // Chromium's zoom range.
    if (!(zoomFactor >= 0.25 && zoomFactor <= 5.0))
        return hr::E_INVALIDARG;
    if (m_core->view()->zoomFactor() == zoomFactor)
        return hr::S_OK;
    m_core->view()->setZoomFactor(zoomFactor);
    ComPtr<Controller> self(this);
    QTimer::singleShot(0, m_core->view(), [self] {
        if (self->usable())
            self->m_zoomFactorChanged.raise(self.get(), static_cast<IUnknown*>(nullptr));
    });
    return hr::S_OK;
}

HRESULT Controller::SetBoundsAndZoomFactor(RECT bounds, double zoomFactor) {
    if (const HRESULT result = put_Bounds(bounds); hr::failed(result))
        return result;
    return put_ZoomFactor(zoomFactor);
}

HRESULT Controller::MoveFocus(COREWEBVIEW2_MOVE_FOCUS_REASON reason) {
    if (!usable())
        return hr::ERROR_INVALID_STATE;
    const Qt::FocusReason qtReason =
        reason == COREWEBVIEW2_MOVE_FOCUS_REASON_NEXT       ? Qt::TabFocusReason
        : reason == COREWEBVIEW2_MOVE_FOCUS_REASON_PREVIOUS ? Qt::BacktabFocusReason
                                                            : Qt::OtherFocusReason;
    m_core->view()->setFocus(qtReason);
    return hr::S_OK;
}

KWV_EVENT_REGISTRATION(Controller, ZoomFactorChanged, m_zoomFactorChanged)
KWV_EVENT_REGISTRATION(Controller, MoveFocusRequested, m_moveFocusRequested)
KWV_EVENT_REGISTRATION(Controller, GotFocus, m_gotFocus)
KWV_EVENT_REGISTRATION(Controller, LostFocus, m_lostFocus)
KWV_EVENT_REGISTRATION(Controller, AcceleratorKeyPressed, m_acceleratorKeyPressed)

HRESULT Controller::get_ParentWindow(QWidget** parentWindow) {
    if (!usable())
        return hr::ERROR_INVALID_STATE;
    return read(parentWindow, m_core->view()->parentWidget());
}

HRESULT Controller::put_ParentWindow(QWidget* parentWindow) {
    if (!usable())
        return hr::ERROR_INVALID_STATE;
    if (!parentWindow)
        return hr::E_INVALIDARG;
    QWebEngineView* view = m_core->view();
    const bool visible = !view->isHidden();
    view->setParent(parentWindow);
    view->setVisible(visible);
    return hr::S_OK;
}

HRESULT Controller::NotifyParentWindowPositionChanged() {
    // A child widget follows its parent by itself.
    return usable() ? hr::S_OK : hr::ERROR_INVALID_STATE;
}

HRESULT Controller::Close() {
    if (m_keyFilter)
        qApp->removeEventFilter(m_keyFilter.get());
    m_keyFilter.reset();
    QObject::disconnect(m_focusConnection);
    m_core->close();
    return hr::S_OK;
}

HRESULT Controller::get_CoreWebView2(ICoreWebView2** coreWebView2) {
    if (!coreWebView2)
        return hr::E_POINTER;
    if (m_core->isClosed())
        return hr::ERROR_INVALID_STATE;
    ComPtr<ICoreWebView2>(m_core).copyTo(coreWebView2);
    return hr::S_OK;
}
