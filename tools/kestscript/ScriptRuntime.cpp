#include "ScriptRuntime.h"

#include "ScriptObject.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <cstdio>

namespace {

void printFailure(const QString& text) {
    std::fprintf(stderr, "kestscript: %s\n", qPrintable(text));
    std::fflush(stderr);
}

// The line of the first stack frame ("function@url:line") in the script.
std::optional<int> lineInStack(const QString& stack, const QString& url) {
    const QRegularExpression frame(QLatin1Char('@') + QRegularExpression::escape(url) +
                                   QStringLiteral(":(\\d+)"));
    const QRegularExpressionMatch match = frame.match(stack);
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1).toInt();
}

// The line of the first frame of an exception trace ("function:line:column:url")
// in the script.
std::optional<int> lineInTrace(const QStringList& trace, const QString& url) {
    for (const QString& entry : trace) {
        const QStringList fields = entry.split(QLatin1Char(':'));
        if (fields.size() >= 4 && fields.mid(3).join(QLatin1Char(':')) == url)
            return fields[1].toInt();
    }
    return std::nullopt;
}

} // namespace

ScriptRuntime::ScriptRuntime(const QString& scriptPath, double timeoutSeconds)
    : m_prelude(Prelude::install(m_engine))
    , m_values(m_engine, m_prelude, [this](DispatchPtr object) { return wrap(std::move(object)); })
    , m_scriptName(scriptPath)
    , m_scriptPath(QFileInfo(scriptPath).absoluteFilePath())
    , m_timeoutSeconds(timeoutSeconds) {
    // Stack frames name the script as the engine spells its file name.
    m_scriptUrl =
        m_engine.evaluate(QStringLiteral("new Error().fileName"), m_scriptPath).toString();
}

ScriptRuntime::~ScriptRuntime() {
    releaseObjects();
}

QJSValue ScriptRuntime::wrap(DispatchPtr object) {
    m_objects.removeAll(nullptr);
    // The engine owns the script object and deletes it when no script value
    // refers to it any more, which releases the automation object.
    auto* scriptObject = new ScriptObject(*this, std::move(object));
    m_objects.append(scriptObject);
    return m_prelude.wrap.call({m_engine.newQObject(scriptObject)});
}

std::optional<QJSValue> ScriptRuntime::callOrFail(const QJSValue& function,
                                                  const QJSValueList& args) {
    if (stopping())
        return std::nullopt;
    QJSValue array = m_engine.newArray(static_cast<uint>(args.size()));
    for (qsizetype i = 0; i < args.size(); ++i)
        array.setProperty(static_cast<quint32>(i), args[i]);
    const QJSValue outcome = m_prelude.callSafely.call({function, array});
    // An interrupted engine answers with its own error instead of the outcome.
    if (outcome.isError()) {
        fail(errorText(outcome));
        return std::nullopt;
    }
    const QJSValue value = outcome.property(QStringLiteral("value"));
    if (outcome.property(QStringLiteral("threw")).toBool()) {
        fail(errorText(value));
        return std::nullopt;
    }
    return value;
}

void ScriptRuntime::throwError(const AutomationError& error) {
    QJSValue value = m_engine.newErrorObject(QJSValue::GenericError, error.description());
    value.setProperty(QStringLiteral("number"), error.number());
    value.setProperty(QStringLiteral("description"), error.description());
    value.setProperty(QStringLiteral("source"), error.source());
    m_engine.throwError(value);
}

void ScriptRuntime::throwError(const QString& message) {
    m_engine.throwError(QJSValue::GenericError, message);
}

std::optional<int> ScriptRuntime::scriptLine(const QJSValue& error) const {
    if (const auto line =
            lineInStack(error.property(QStringLiteral("stack")).toString(), m_scriptUrl))
        return line;
    if (error.property(QStringLiteral("fileName")).toString() == m_scriptUrl)
        return error.property(QStringLiteral("lineNumber")).toInt();
    return std::nullopt;
}

QJSValue ScriptRuntime::originalError(const QJSValue& thrown) const {
    // An interrupted engine runs no script code, the prelude's included.
    if (thrown.errorType() != QJSValue::TypeError || m_engine.isInterrupted())
        return thrown;
    return m_prelude.originalError.call({thrown});
}

QString ScriptRuntime::errorText(const QJSValue& thrown, const QStringList& trace) const {
    const QJSValue error = originalError(thrown);
    QString where = m_scriptName;
    std::optional<int> line = scriptLine(error);
    if (!line)
        line = lineInTrace(trace, m_scriptUrl);
    if (line)
        where += QStringLiteral(":%1").arg(*line);
    QString text = error.isError() ? error.toString()
                                   : QStringLiteral("uncaught exception: ") + error.toString();
    const QJSValue number = error.property(QStringLiteral("number"));
    if (number.isNumber())
        text += QStringLiteral(" (error %1)").arg(number.toInt());
    return where + QStringLiteral(": ") + text;
}

QString ScriptRuntime::currentLocation() {
    const QString stack = m_engine.evaluate(QStringLiteral("new Error().stack")).toString();
    const auto line = lineInStack(stack, m_scriptUrl);
    return line ? QStringLiteral("%1:%2").arg(m_scriptName).arg(*line) : m_scriptName;
}

QString ScriptRuntime::timeoutText() const {
    return QStringLiteral("stopped by --timeout after %1 seconds").arg(m_timeoutSeconds);
}

int ScriptRuntime::run(const QString& source) {
    QStringList trace;
    const QJSValue result = m_engine.evaluate(source, m_scriptPath, 1, &trace);
    if (m_failure) {
        printFailure(*m_failure);
        return 1;
    }
    if (m_quitCode)
        return *m_quitCode;
    if (m_timeoutDue) {
        // Interrupted inside script code, where the engine tells no line.
        printFailure(m_scriptName + QStringLiteral(": ") + timeoutText() +
                     QStringLiteral(" while running script code"));
        return 1;
    }
    if (trace.isEmpty() && !result.isError())
        return 0;
    // A script that does not compile fails before any of its code runs: its
    // only frame is the compiler's, which has no function name.
    const bool parseError = trace.size() == 1 && trace.first().startsWith(QLatin1Char(':'));
    printFailure(errorText(result, trace));
    return parseError ? 2 : 1;
}

void ScriptRuntime::quit(int code) {
    if (m_quitCode || m_failure)
        return;
    m_quitCode = code;
    m_stopHandled = true;
    interrupt();
}

void ScriptRuntime::fail(const QString& text) {
    if (m_quitCode || m_failure)
        return;
    m_failure = text;
    m_stopHandled = true;
    interrupt();
}

bool ScriptRuntime::stopping() {
    if (m_timeoutDue && !m_stopHandled)
        fail(currentLocation() + QStringLiteral(": ") + timeoutText());
    return m_quitCode || m_failure;
}

void ScriptRuntime::releaseObjects() {
    for (const QPointer<ScriptObject>& object : std::as_const(m_objects)) {
        if (object)
            object->detach();
    }
    m_objects.clear();
}
