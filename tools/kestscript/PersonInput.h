#pragma once

#include <QJSValue>
#include <QString>
#include <QStringList>

class QJSEngine;
class QWidget;

// What a person at the screen does and reads, for unattended scripts: keys
// typed into the widget that has the focus, and the text of a control's
// child widgets found by their object names.
namespace personinput {

// Presses and releases each key in turn ("Down", "Return", "Tab", "a", ...)
// in the focused widget of the windows, pumping events after each; false
// when a name is unknown or no widget has the focus.
bool pressKeys(const QList<QWidget*>& windows, const QStringList& keys);

// The first child named so in the windows: a list gives its item texts, a
// label or button its text, any other widget its window title; also whether
// it is shown. Undefined when there is none.
QJSValue widgetState(QJSEngine& engine, const QList<QWidget*>& windows, const QString& name);

} // namespace personinput
