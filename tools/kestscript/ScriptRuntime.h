#pragma once

#include "Prelude.h"
#include "ValueBridge.h"

#include "platform/automation/AutomationError.h"

#include <QJSEngine>
#include <QList>
#include <QPointer>
#include <QString>

#include <atomic>
#include <optional>

class ScriptObject;

// One script run: the engine, the value conversions and the way the run
// ends. A run ends when the script returns, when it calls Host.quit, when an
// event handler throws, or when its time is up; the last three interrupt the
// engine, so no further script code runs.
class ScriptRuntime {
public:
    // scriptPath names the script in error texts and stack frames.
    explicit ScriptRuntime(const QString& scriptPath, double timeoutSeconds = 0);
    ~ScriptRuntime();
    ScriptRuntime(const ScriptRuntime&) = delete;
    ScriptRuntime& operator=(const ScriptRuntime&) = delete;

    QJSEngine& engine() { return m_engine; }
    const Prelude& prelude() const { return m_prelude; }
    const ValueBridge& values() const { return m_values; }

    // The script object for an automation object.
    QJSValue wrap(DispatchPtr object);

    // Calls a script function; an exception it throws (of any type) ends
    // the run with exit code 1. Returns nullopt then.
    std::optional<QJSValue> callOrFail(const QJSValue& function, const QJSValueList& args);

    // Raises a script Error carrying the automation error's number,
    // description and source.
    void throwError(const AutomationError& error);
    void throwError(const QString& message);
    // "script.js:12: Error: text (error 429)" for an exception value; the
    // trace gives the line of values that carry none.
    QString errorText(const QJSValue& error, const QStringList& trace = {}) const;
    // "script.js:12", the innermost line of the script now running.
    QString currentLocation();

    // Evaluates the script: 0 or the quit code, 1 when it failed or ran out
    // of time, 2 when it could not be parsed. Failures are printed.
    int run(const QString& source);

    void quit(int code);
    // Ends the run with exit code 1 and this text (the first failure counts).
    void fail(const QString& text);
    // True once the run is ending; waits stop at once. Turns a time-out that
    // came due into a failure at the current line.
    bool stopping();

    // Called from the time-out thread.
    void timeoutDue() { m_timeoutDue = true; }
    void interrupt() { m_engine.setInterrupted(true); }
    bool stopHandled() const { return m_stopHandled; }

    // Detaches every live script object from its automation object, so that
    // objects and controls go before the engine does.
    void releaseObjects();

private:
    // The error the engine's TypeError replaced, when a member read threw
    // during a call (see the prelude); else the value itself.
    QJSValue originalError(const QJSValue& thrown) const;
    std::optional<int> scriptLine(const QJSValue& error) const;
    QString timeoutText() const;

    QJSEngine m_engine;
    Prelude m_prelude;
    ValueBridge m_values;
    QString m_scriptName;
    QString m_scriptPath;
    QString m_scriptUrl;
    double m_timeoutSeconds;
    QList<QPointer<ScriptObject>> m_objects;

    std::optional<int> m_quitCode;
    std::optional<QString> m_failure;
    std::atomic<bool> m_timeoutDue = false;
    std::atomic<bool> m_stopHandled = false;
};

// Runs a host member: automation errors and other exceptions become script
// errors, and a time-out that came due stops the run before the member runs.
template <typename Function> QJSValue guarded(ScriptRuntime& runtime, Function&& function) {
    if (runtime.stopping())
        return {};
    try {
        return function();
    } catch (const AutomationError& error) {
        runtime.throwError(error);
    } catch (const std::exception& error) {
        runtime.throwError(QString::fromLocal8Bit(error.what()));
    }
    return {};
}
