#pragma once

#include "EventHandlers.h"
#include "WebView2.h"

#include <QFocusEvent>
#include <QObject>

#include <memory>

class CoreWebView2;
class ProfileContext;

// Places a core webview's view in its parent window: bounds, visibility,
// zoom, focus and the keys that reach the page.
class Controller : public ComObject<ICoreWebView2Controller> {
public:
    Controller(ComPtr<ICoreWebView2Environment> environment,
               std::shared_ptr<ProfileContext> profile, QWidget* parent);
    ~Controller() override;

    HRESULT get_IsVisible(bool* isVisible) override;
    HRESULT put_IsVisible(bool isVisible) override;
    HRESULT get_Bounds(RECT* bounds) override;
    HRESULT put_Bounds(RECT bounds) override;
    HRESULT get_ZoomFactor(double* zoomFactor) override;
    HRESULT put_ZoomFactor(double zoomFactor) override;
    HRESULT add_ZoomFactorChanged(ICoreWebView2ZoomFactorChangedEventHandler* handler,
                                  EventRegistrationToken* token) override;
    HRESULT remove_ZoomFactorChanged(EventRegistrationToken token) override;
    HRESULT SetBoundsAndZoomFactor(RECT bounds, double zoomFactor) override;
    HRESULT MoveFocus(COREWEBVIEW2_MOVE_FOCUS_REASON reason) override;
    HRESULT add_MoveFocusRequested(ICoreWebView2MoveFocusRequestedEventHandler* handler,
                                   EventRegistrationToken* token) override;
    HRESULT remove_MoveFocusRequested(EventRegistrationToken token) override;
    HRESULT add_GotFocus(ICoreWebView2FocusChangedEventHandler* handler,
                         EventRegistrationToken* token) override;
    HRESULT remove_GotFocus(EventRegistrationToken token) override;
    HRESULT add_LostFocus(ICoreWebView2FocusChangedEventHandler* handler,
                          EventRegistrationToken* token) override;
    HRESULT remove_LostFocus(EventRegistrationToken token) override;
    HRESULT add_AcceleratorKeyPressed(ICoreWebView2AcceleratorKeyPressedEventHandler* handler,
                                      EventRegistrationToken* token) override;
    HRESULT remove_AcceleratorKeyPressed(EventRegistrationToken token) override;
    HRESULT get_ParentWindow(QWidget** parentWindow) override;
    HRESULT put_ParentWindow(QWidget* parentWindow) override;
    HRESULT NotifyParentWindowPositionChanged() override;
    HRESULT Close() override;
    HRESULT get_CoreWebView2(ICoreWebView2** coreWebView2) override;

private:
    class KeyFilter;

    bool usable() const;
    void focusChanged(QWidget* old, QWidget* now);
    void focusOut(QObject* watched, const QFocusEvent& event);
    // Whether the key event was handled by the host and must not reach the page.
    bool acceleratorKey(QEvent* event);

    ComPtr<CoreWebView2> m_core;
    std::unique_ptr<QObject> m_keyFilter;
    QMetaObject::Connection m_focusConnection;
    EventHandlers<ICoreWebView2ZoomFactorChangedEventHandler> m_zoomFactorChanged;
    EventHandlers<ICoreWebView2MoveFocusRequestedEventHandler> m_moveFocusRequested;
    EventHandlers<ICoreWebView2FocusChangedEventHandler> m_gotFocus;
    EventHandlers<ICoreWebView2FocusChangedEventHandler> m_lostFocus;
    EventHandlers<ICoreWebView2AcceleratorKeyPressedEventHandler> m_acceleratorKeyPressed;
};
