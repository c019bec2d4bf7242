#pragma once

#include <QJSValue>
#include <QString>
#include <QStringList>

class QJSEngine;
class QWidget;

// What a person at the screen does and reads, for unattended scripts: keys
// typed into the widget that has the focus, the wheel and clicks at the
// centre of the control, and the text of a control's
// child widgets found by their object names.
namespace personinput {

// Presses and releases each key in turn ("Down", "Return", "Tab", "a", ...)
// in the focused widget of the windows, pumping events after each; false
// when a name is unknown or no widget has the focus.
bool pressKeys(const QList<QWidget*>& windows, const QStringList& keys);

// Turns the mouse wheel over the centre of the first window, steps notches
// (positive: towards the person, scrolling down), with Ctrl held when asked,
// one event per notch or all of them in one event (as a busy window gets
// them); false when nothing is there.
bool turnWheel(const QList<QWidget*>& windows, int steps, bool control, bool atOnce);

// Clicks the left button at the centre of the first window: the widget there
// takes the focus as it would for a person; false when nothing is there.
bool clickCentre(const QList<QWidget*>& windows);

// Drags with the left button from one point of the first window to another
// (window coordinates), through a few steps as a hand moves; false when
// nothing is there.
bool drag(const QList<QWidget*>& windows, QPoint from, QPoint to);

// The first child named so in the windows: a list gives its item texts, a
// label or button its text, any other widget its window title; also whether
// it is shown. Undefined when there is none.
QJSValue widgetState(QJSEngine& engine, const QList<QWidget*>& windows, const QString& name);

} // namespace personinput
