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

// The innermost widget at the centre of the first window, and that point in its coordinates.
std::optional<std::pair<QWidget*, QPoint>> centreOf(const QList<QWidget*>& windows) {
    if (windows.isEmpty())
        return std::nullopt;
    QWidget* window = windows.first();
    const QPoint centre = window->rect().center();
    QWidget* target = window->childAt(centre);
    if (!target)
        target = window;
    return std::pair{target, target->mapFrom(window, centre)};
}

} // namespace

bool turnWheel(const QList<QWidget*>& windows, int steps, bool control) {
    const auto centre = centreOf(windows);
    if (!centre)
        return false;
    const auto [target, point] = *centre;
    const Qt::KeyboardModifiers modifiers = control ? Qt::ControlModifier : Qt::NoModifier;
    const int direction = steps < 0 ? 1 : -1;
    for (int i = 0; i < std::abs(steps); ++i) {
        QWheelEvent wheel(QPointF(point), QPointF(target->mapToGlobal(point)), QPoint(),
                          QPoint(0, 120 * direction), Qt::NoButton, modifiers, Qt::NoScrollPhase,
                          false);
        QApplication::sendEvent(target, &wheel);
        pump::processPending();
    }
    return true;
}

bool clickCentre(const QList<QWidget*>& windows) {
    const auto centre = centreOf(windows);
    if (!centre)
        return false;
    const auto [target, point] = *centre;
    const QPointF global(target->mapToGlobal(point));
    // Events sent by hand are not spontaneous: Qt gives the focus on a click
    // only for those, so it is given here as a person's click would.
    for (QWidget* widget = target; widget; widget = widget->parentWidget()) {
        if (widget->focusPolicy() & Qt::ClickFocus) {
            widget->setFocus(Qt::MouseFocusReason);
            break;
        }
    }
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(point), global, Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(point), global, Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QApplication::sendEvent(target, &release);
    pump::processPending();
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
