#include "tests/common/TestApp.h"
#include "viewer/ViewerSurface.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include <gtest/gtest.h>

namespace {

struct Raised {
    QString event;
    QList<Variant> args;
};

class SurfaceInput : public ::testing::Test {
protected:
    static void SetUpTestSuite() { testing_support::app(); }

    void SetUp() override {
        surface.onInputEvent = [this](const QString& event, QList<Variant>& args) {
            raised.append({event, args});
        };
    }

    QList<Variant> argsOf(const QString& event) const {
        for (const Raised& item : raised) {
            if (item.event == event)
                return item.args;
        }
        return {};
    }

    void send(QEvent& event) { QApplication::sendEvent(&surface, &event); }

    ViewerSurface surface;
    QList<Raised> raised;
};

// KeyDown and KeyUp carry the virtual-key codes hosts compare with, and the
// shift state as its bit mask (1 Shift, 2 Ctrl, 4 Alt).
TEST_F(SurfaceInput, KeysArriveAsVirtualKeyCodes) {
    struct Case {
        int key;
        Qt::KeyboardModifiers modifiers;
        int code;
        int shift;
    };
    const Case cases[] = {
        {Qt::Key_Left, Qt::NoModifier, 0x25, 0},
        {Qt::Key_Right, Qt::NoModifier, 0x27, 0},
        {Qt::Key_Up, Qt::NoModifier, 0x26, 0},
        {Qt::Key_Down, Qt::NoModifier, 0x28, 0},
        {Qt::Key_F1, Qt::NoModifier, 0x70, 0},
        {Qt::Key_F12, Qt::NoModifier, 0x7B, 0},
        {Qt::Key_A, Qt::ShiftModifier, 0x41, 1},
        {Qt::Key_Z, Qt::ControlModifier, 0x5A, 2},
        {Qt::Key_5, Qt::AltModifier, 0x35, 4},
        {Qt::Key_Return, Qt::NoModifier, 0x0D, 0},
        {Qt::Key_Enter, Qt::KeypadModifier, 0x0D, 0},
        {Qt::Key_Escape, Qt::NoModifier, 0x1B, 0},
        {Qt::Key_Delete, Qt::NoModifier, 0x2E, 0},
        {Qt::Key_Space, Qt::NoModifier, 0x20, 0},
        // A modifier key's own event carries the state before it (as X11
        // reports it); the event then reports the state after the press.
        {Qt::Key_Shift, Qt::NoModifier, 0x10, 1},
        {Qt::Key_Control, Qt::ShiftModifier, 0x11, 3},
        {Qt::Key_Alt, Qt::NoModifier, 0x12, 4},
        {Qt::Key_PageDown, Qt::NoModifier, 0x22, 0},
        {Qt::Key_Home, Qt::NoModifier, 0x24, 0},
    };
    for (const Case& c : cases) {
        raised.clear();
        QKeyEvent down(QEvent::KeyPress, c.key, c.modifiers);
        QKeyEvent up(QEvent::KeyRelease, c.key, c.modifiers);
        send(down);
        send(up);
        const QList<Variant> pressed = argsOf(QStringLiteral("KeyDown"));
        const QList<Variant> released = argsOf(QStringLiteral("KeyUp"));
        ASSERT_EQ(pressed.size(), 2) << c.key;
        ASSERT_EQ(released.size(), 2) << c.key;
        EXPECT_EQ(pressed[0], Variant(std::int16_t(c.code))) << "key " << c.key;
        EXPECT_EQ(pressed[1], Variant(std::int16_t(c.shift))) << "key " << c.key;
        EXPECT_EQ(released[0], Variant(std::int16_t(c.code))) << "key " << c.key;
    }
}

// MouseDown and MouseUp report the button that changed; MouseMove the buttons held.
TEST_F(SurfaceInput, MouseEventsReportTheButtonThatChanged) {
    const QPointF at(10, 12);
    QMouseEvent pressRight(QEvent::MouseButtonPress, at, at, Qt::RightButton,
                           Qt::LeftButton | Qt::RightButton, Qt::NoModifier);
    QMouseEvent move(QEvent::MouseMove, at, at, Qt::NoButton, Qt::LeftButton | Qt::RightButton,
                     Qt::ShiftModifier);
    QMouseEvent releaseLeft(QEvent::MouseButtonRelease, at, at, Qt::LeftButton, Qt::RightButton,
                            Qt::NoModifier);
    send(pressRight);
    send(move);
    send(releaseLeft);
    EXPECT_EQ(argsOf(QStringLiteral("MouseDown")).value(0), Variant(std::int16_t(2)));
    EXPECT_EQ(argsOf(QStringLiteral("MouseMove")).value(0), Variant(std::int16_t(3)));
    EXPECT_EQ(argsOf(QStringLiteral("MouseMove")).value(1), Variant(std::int16_t(1)));
    EXPECT_EQ(argsOf(QStringLiteral("MouseUp")).value(0), Variant(std::int16_t(1)));
}

} // namespace
