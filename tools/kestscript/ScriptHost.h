#pragma once

#include "ScriptRuntime.h"
#include "UnattendedSeams.h"

#include "platform/automation/ControlContainer.h"

#include <QJSValue>
#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

// The native side of the script's `Host` object (the prelude gives it its
// script surface): creating registered objects and sited controls, events
// bound by name, waits that pump events, output, the unattended answers and
// the clipboard.
class ScriptHost : public QObject {
    Q_OBJECT
public:
    ScriptHost(ScriptRuntime& runtime, UnattendedSeams& seams, QStringList arguments);
    ~ScriptHost() override;

    // Makes `Host` a global of the runtime's engine.
    void install();
    // Closes every sited control, after the script objects have let go.
    void closeControls();

    Q_INVOKABLE QJSValue createObject(const QString& progId);
    Q_INVOKABLE QJSValue createControl(const QString& progId, int width, int height);
    Q_INVOKABLE void connectObject(const QJSValue& object, const QString& prefix);
    Q_INVOKABLE void sleep(double milliseconds);
    Q_INVOKABLE QJSValue waitFor(const QJSValue& predicate, double timeoutMilliseconds);
    Q_INVOKABLE void echo(const QString& line);
    Q_INVOKABLE QStringList arguments() const { return m_arguments; }
    Q_INVOKABLE void quit(int code);
    Q_INVOKABLE void answerFileDialog(const QJSValue& answer);
    Q_INVOKABLE QJSValue messageBoxes();
    Q_INVOKABLE QString clipboardText() const;
    Q_INVOKABLE bool saveClipboardImage(const QString& path) const;
    Q_INVOKABLE bool fileExists(const QString& path) const;
    Q_INVOKABLE QJSValue fileDialogs();
    Q_INVOKABLE void pressKeys(const QStringList& keys);
    Q_INVOKABLE void turnWheel(int steps, bool control, bool atOnce);
    Q_INVOKABLE void click();
    Q_INVOKABLE void drag(int x1, int y1, int x2, int y2);
    Q_INVOKABLE QJSValue widget(const QString& objectName);

private:
    QList<QWidget*> controlWindows() const;
    void act(const std::function<bool()>& action, const QString& what);

    ScriptRuntime& m_runtime;
    UnattendedSeams& m_seams;
    QStringList m_arguments;
    std::vector<std::unique_ptr<ControlContainer>> m_controls;
};
