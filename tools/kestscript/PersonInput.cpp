#include "PersonInput.h"

#include "platform/MessagePump.h"

#include <QAbstractButton>
#include <QApplication>
#include <QJSEngine>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QWheelEvent>

#include <cstdlib>

#include <optional>

namespace personinput {

namespace {

struct NamedKey {
    const char* name;
    Qt::Key key;
};

constexpr NamedKey NamedKeys[] = {
    {"Down", Qt::Key_Down},     {"Up", Qt::Key_Up},         {"Left", Qt::Key_Left},
    {"Right", Qt::Key_Right},   {"Return", Qt::Key_Return}, {"Enter", Qt::Key_Enter},
    {"Tab", Qt::Key_Tab},       {"Escape", Qt::Key_Escape}, {"Space", Qt::Key_Space},
    {"Home", Qt::Key_Home},     {"End", Qt::Key_End},       {"PageDown", Qt::Key_PageDown},
    {"PageUp", Qt::Key_PageUp},
};

struct KeyStroke {
    Qt::Key key;
    QString text;
};

std::optional<KeyStroke> strokeOf(const QString& name) {
    for (const NamedKey& named : NamedKeys) {
        if (name == QLatin1String(named.name)) {
            const QString text = named.key == Qt::Key_Return || named.key == Qt::Key_Enter
                                     ? QStringLiteral("\r")
                                 : named.key == Qt::Key_Space ? QStringLiteral(" ")
                                                              : QString();
            return KeyStroke{named.key, text};
        }
    }
    if (name.size() != 1)
        return std::nullopt;
    return KeyStroke{static_cast<Qt::Key>(name.at(0).toUpper().unicode()), name};
}

// The application's focus widget, or the one a window would give the focus
// to when it is not active (offscreen windows need not be).
QWidget* focusedWidget(const QList<QWidget*>& windows) {
    if (QWidget* focused = QApplication::focusWidget())
        return focused;
    for (QWidget* window : windows) {
        if (QWidget* focused = window->focusWidget())
            return focused;
    }
    return nullptr;
}

// The innermost widget at a point of the first window, and the point in its coordinates.
std::optional<std::pair<QWidget*, QPoint>> widgetAt(const QList<QWidget*>& windows, QPoint at) {
    if (windows.isEmpty())
        return std::nullopt;
    QWidget* window = windows.first();
    QWidget* target = window->childAt(at);
    if (!target)
        target = window;
    return std::pair{target, target->mapFrom(window, at)};
}

// Events sent by hand are not spontaneous: Qt gives the focus on a click only
// for those, so it is given here as a person's press would.
void focusOnPress(QWidget* target) {
    for (QWidget* widget = target; widget; widget = widget->parentWidget()) {
        if (widget->focusPolicy() & Qt::ClickFocus) {
            widget->setFocus(Qt::MouseFocusReason);
            return;
        }
    }
}

void sendMouse(QWidget* target, QEvent::Type type, QPoint point, Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(point), QPointF(target->mapToGlobal(point)), Qt::LeftButton,
                      buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
    pump::processPending();
}

} // namespace

bool turnWheel(const QList<QWidget*>& windows, int steps, bool control, bool atOnce) {
    if (windows.isEmpty())
        return false;
    const auto [target, point] = *widgetAt(windows, windows.first()->rect().center());
    const Qt::KeyboardModifiers modifiers = control ? Qt::ControlModifier : Qt::NoModifier;
    const int notch = steps < 0 ? 120 : -120;
    const int events = atOnce ? 1 : std::abs(steps);
    const int perEvent = atOnce ? std::abs(steps) : 1;
    for (int i = 0; i < events; ++i) {
        QWheelEvent wheel(QPointF(point), QPointF(target->mapToGlobal(point)), QPoint(),
                          QPoint(0, notch * perEvent), Qt::NoButton, modifiers, Qt::NoScrollPhase,
                          false);
        QApplication::sendEvent(target, &wheel);
        pump::processPending();
    }
    return true;
}

bool clickCentre(const QList<QWidget*>& windows) {
    if (windows.isEmpty())
        return false;
    const QPoint centre = windows.first()->rect().center();
    return drag(windows, centre, centre);
}

bool drag(const QList<QWidget*>& windows, QPoint from, QPoint to) {
    const auto start = widgetAt(windows, from);
    if (!start)
        return false;
    const auto [target, point] = *start;
    const QPoint offset = point - from;
    // The hand comes to the point before it presses.
    sendMouse(target, QEvent::MouseMove, point, Qt::NoButton);
    focusOnPress(target);
    sendMouse(target, QEvent::MouseButtonPress, point, Qt::LeftButton);
    constexpr int Steps = 8;
    for (int step = 1; step <= Steps && from != to; ++step)
        sendMouse(target, QEvent::MouseMove, offset + from + (to - from) * step / Steps,
                  Qt::LeftButton);
    sendMouse(target, QEvent::MouseButtonRelease, offset + to, Qt::NoButton);
    return true;
}

bool pressKeys(const QList<QWidget*>& windows, const QStringList& keys) {
    for (const QString& name : keys) {
        const std::optional<KeyStroke> stroke = strokeOf(name);
        QWidget* target = focusedWidget(windows);
        if (!stroke || !target)
            return false;
        QKeyEvent press(QEvent::KeyPress, stroke->key, Qt::NoModifier, stroke->text);
        QKeyEvent release(QEvent::KeyRelease, stroke->key, Qt::NoModifier, stroke->text);
        QApplication::sendEvent(target, &press);
        QApplication::sendEvent(target, &release);
        pump::processPending();
    }
    return true;
}

QJSValue widgetState(QJSEngine& engine, const QList<QWidget*>& windows, const QString& name) {
    for (QWidget* window : windows) {
        QWidget* found = window->findChild<QWidget*>(name);
        if (!found)
            continue;
        QJSValue state = engine.newObject();
        state.setProperty(QStringLiteral("visible"), found->isVisible());
        if (auto* list = qobject_cast<QListWidget*>(found)) {
            QStringList items;
            for (int row = 0; row < list->count(); ++row)
                items.append(list->item(row)->text());
            state.setProperty(QStringLiteral("items"), engine.toScriptValue(items));
            state.setProperty(QStringLiteral("current"), list->currentRow());
        } else if (auto* label = qobject_cast<QLabel*>(found)) {
            state.setProperty(QStringLiteral("text"), label->text());
        } else if (auto* button = qobject_cast<QAbstractButton*>(found)) {
            state.setProperty(QStringLiteral("text"), button->text());
        } else {
            state.setProperty(QStringLiteral("text"), found->windowTitle());
        }
        state.setProperty(QStringLiteral("hasFocus"), found->hasFocus());
        return state;
    }
    return QJSValue(QJSValue::UndefinedValue);
}

} // namespace personinput
