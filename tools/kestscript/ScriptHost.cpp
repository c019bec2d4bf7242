#include "ScriptHost.h"

#include "PersonInput.h"
#include "ScriptObject.h"

#include "platform/MessagePump.h"
#include "platform/automation/ObjectFactory.h"

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>

#include <cmath>
#include <cstdio>

namespace {

// The script surface of `Host`, over the native object. Not strict code:
// the engine refuses a getter named "arguments" there.
const char* const HostSource = R"js(
(function (native) {
    const number = (value, fallback) => value === undefined ? fallback : Number(value);
    return Object.freeze({
        createObject: (progId) => native.createObject(String(progId)),
        createControl: (progId, width, height) =>
            native.createControl(String(progId), number(width, 800), number(height, 600)),
        connectObject: (object, prefix) => native.connectObject(object, String(prefix)),
        sleep: (ms) => native.sleep(number(ms, 0)),
        waitFor: (predicate, timeoutMs) => native.waitFor(predicate, number(timeoutMs, 30000)),
        echo: (...parts) => native.echo(parts.map(String).join(" ")),
        get arguments() { return native.arguments(); },
        quit: (code) => native.quit(number(code, 0)),
        answerFileDialog: (answer) => native.answerFileDialog(answer),
        get messageBoxes() { return native.messageBoxes(); },
        clipboardText: () => native.clipboardText(),
        saveClipboardImage: (path) => native.saveClipboardImage(String(path)),
        fileExists: (path) => native.fileExists(String(path)),
        get fileDialogs() { return native.fileDialogs(); },
        pressKeys: (...keys) => native.pressKeys([].concat(...keys).map(String)),
        turnWheel: (steps, control, atOnce) => native.turnWheel(Number(steps), !!control, !!atOnce),
        click: () => native.click(),
        drag: (x1, y1, x2, y2) => native.drag(Number(x1), Number(y1), Number(x2), Number(y2)),
        widget: (objectName) => native.widget(String(objectName)),
    });
})
)js";

std::chrono::milliseconds toDuration(double milliseconds) {
    if (!std::isfinite(milliseconds) || milliseconds < 0)
        return std::chrono::milliseconds(0);
    return std::chrono::milliseconds(static_cast<std::int64_t>(std::min(milliseconds, 1e12)));
}

} // namespace

ScriptHost::ScriptHost(ScriptRuntime& runtime, UnattendedSeams& seams, QStringList arguments)
    : m_runtime(runtime)
    , m_seams(seams)
    , m_arguments(std::move(arguments)) {
}

ScriptHost::~ScriptHost() {
    closeControls();
}

void ScriptHost::install() {
    QJSEngine& engine = m_runtime.engine();
    QJSEngine::setObjectOwnership(this, QJSEngine::CppOwnership);
    const QJSValue makeHost =
        engine.evaluate(QString::fromUtf8(HostSource), QStringLiteral("kestscript:host"));
    engine.globalObject().setProperty(QStringLiteral("Host"),
                                      makeHost.call({engine.newQObject(this)}));
}

void ScriptHost::closeControls() {
    m_controls.clear();
}

QJSValue ScriptHost::createObject(const QString& progId) {
    return guarded(m_runtime, [&] { return m_runtime.wrap(automation::createObject(progId)); });
}

QJSValue ScriptHost::createControl(const QString& progId, int width, int height) {
    return guarded(m_runtime, [&] {
        auto container = std::make_unique<ControlContainer>(automation::createObject(progId),
                                                            QSize(width, height));
        container->window().setWindowTitle(progId);
        const DispatchPtr object = container->object();
        m_controls.push_back(std::move(container));
        return m_runtime.wrap(object);
    });
}

void ScriptHost::connectObject(const QJSValue& object, const QString& prefix) {
    guarded(m_runtime, [&] {
        auto* scriptObject = qobject_cast<ScriptObject*>(
            object.property(QStringLiteral("__kestObject")).toQObject());
        if (!scriptObject)
            throw AutomationError::standard(vberr::TypeMismatch);
        scriptObject->connectGlobals(prefix);
        return QJSValue();
    });
}

void ScriptHost::sleep(double milliseconds) {
    guarded(m_runtime, [&] {
        pump::waitUntil([this] { return m_runtime.stopping(); }, toDuration(milliseconds));
        return QJSValue();
    });
}

QJSValue ScriptHost::waitFor(const QJSValue& predicate, double timeoutMilliseconds) {
    return guarded(m_runtime, [&]() -> QJSValue {
        if (!predicate.isCallable())
            throw AutomationError::standard(vberr::TypeMismatch);
        QJSValue outcome;
        const auto settled = [&] {
            if (m_runtime.stopping())
                return true;
            outcome =
                m_runtime.prelude().callSafely.call({predicate, m_runtime.engine().newArray()});
            return outcome.isError() || outcome.property(QStringLiteral("threw")).toBool() ||
                   outcome.property(QStringLiteral("value")).toBool();
        };
        if (!pump::waitUntil(settled, toDuration(timeoutMilliseconds)))
            throw AutomationError(
                vberr::InvalidProcedureCall,
                QStringLiteral("Host.waitFor: the condition was still false after %1 ms")
                    .arg(timeoutMilliseconds),
                QStringLiteral("Host"));
        // What the predicate threw reaches the script as if thrown here.
        if (!m_runtime.stopping() && outcome.property(QStringLiteral("threw")).toBool())
            m_runtime.engine().throwError(outcome.property(QStringLiteral("value")));
        return QJSValue(true);
    });
}

void ScriptHost::echo(const QString& line) {
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

void ScriptHost::quit(int code) {
    m_runtime.quit(code);
}

void ScriptHost::answerFileDialog(const QJSValue& answer) {
    guarded(m_runtime, [&] {
        if (answer.isNull() || answer.isUndefined())
            m_seams.queueFileDialogAnswer(std::nullopt);
        else if (answer.isArray())
            m_seams.queueFileDialogAnswer(answer.toVariant().toStringList());
        else if (answer.isString())
            m_seams.queueFileDialogAnswer(QStringList{answer.toString()});
        else
            throw AutomationError::standard(vberr::TypeMismatch);
        return QJSValue();
    });
}

QJSValue ScriptHost::messageBoxes() {
    QJSEngine& engine = m_runtime.engine();
    const QList<UnattendedSeams::MessageBoxRecord>& boxes = m_seams.messageBoxes();
    QJSValue list = engine.newArray(static_cast<uint>(boxes.size()));
    for (qsizetype i = 0; i < boxes.size(); ++i) {
        QJSValue box = engine.newObject();
        box.setProperty(QStringLiteral("prompt"), boxes[i].prompt);
        box.setProperty(QStringLiteral("title"), boxes[i].title);
        box.setProperty(QStringLiteral("style"), boxes[i].style);
        box.setProperty(QStringLiteral("buttons"), engine.toScriptValue(boxes[i].buttons));
        box.setProperty(QStringLiteral("answer"), boxes[i].answer);
        list.setProperty(static_cast<quint32>(i), box);
    }
    return list;
}

QString ScriptHost::clipboardText() const {
    return QGuiApplication::clipboard()->text();
}

bool ScriptHost::saveClipboardImage(const QString& path) const {
    const QImage image = QGuiApplication::clipboard()->image();
    return !image.isNull() && image.save(path);
}

bool ScriptHost::fileExists(const QString& path) const {
    return QFileInfo(path).isFile();
}

QJSValue ScriptHost::fileDialogs() {
    QJSEngine& engine = m_runtime.engine();
    const QList<UnattendedSeams::FileDialogRecord>& dialogs = m_seams.fileDialogs();
    QJSValue list = engine.newArray(static_cast<uint>(dialogs.size()));
    for (qsizetype i = 0; i < dialogs.size(); ++i) {
        QJSValue dialog = engine.newObject();
        dialog.setProperty(QStringLiteral("kind"), dialogs[i].kind);
        dialog.setProperty(QStringLiteral("title"), dialogs[i].title);
        dialog.setProperty(QStringLiteral("initialFolder"), dialogs[i].initialFolder);
        dialog.setProperty(QStringLiteral("fileName"), dialogs[i].fileName);
        dialog.setProperty(QStringLiteral("filters"), engine.toScriptValue(dialogs[i].filters));
        list.setProperty(static_cast<quint32>(i), dialog);
    }
    return list;
}

QList<QWidget*> ScriptHost::controlWindows() const {
    QList<QWidget*> windows;
    for (const auto& container : m_controls)
        windows.append(&container->window());
    return windows;
}

// A person's action at the control; one that cannot be done ends the script with what.
void ScriptHost::act(const std::function<bool()>& action, const QString& what) {
    guarded(m_runtime, [&] {
        if (!action())
            throw AutomationError(vberr::InvalidProcedureCall, QStringLiteral("Host.") + what,
                                  QStringLiteral("Host"));
        return QJSValue();
    });
}

void ScriptHost::pressKeys(const QStringList& keys) {
    act([&] { return personinput::pressKeys(controlWindows(), keys); },
        QStringLiteral("pressKeys: an unknown key or no widget has the focus (%1)")
            .arg(keys.join(QLatin1Char(' '))));
}

void ScriptHost::turnWheel(int steps, bool control, bool atOnce) {
    act([&] { return personinput::turnWheel(controlWindows(), steps, control, atOnce); },
        QStringLiteral("turnWheel: no control is shown"));
}

void ScriptHost::click() {
    act([&] { return personinput::clickCentre(controlWindows()); },
        QStringLiteral("click: no control is shown"));
}

void ScriptHost::drag(int x1, int y1, int x2, int y2) {
    act([&] { return personinput::drag(controlWindows(), QPoint(x1, y1), QPoint(x2, y2)); },
        QStringLiteral("drag: no control is shown"));
}

QJSValue ScriptHost::widget(const QString& objectName) {
    return personinput::widgetState(m_runtime.engine(), controlWindows(), objectName);
}
