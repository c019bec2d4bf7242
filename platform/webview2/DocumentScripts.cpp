#include "DocumentScripts.h"

#include "ScriptText.h"
#include "StringDocuments.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QPointer>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

namespace documentscripts {

namespace {

QString scriptName(const QString& id) {
    return QStringLiteral("kwv-script-") + id;
}

// What the wrapper answers when the page's policy refuses script built from text.
const QString EvalRefused = QStringLiteral("\u0001eval refused");

// ExecuteScript runs the text as a global script and answers with the JSON
// text of its completion value, "null" when it throws or has no JSON form.
// The text runs only once eval has shown that the page allows it.
QString executeScriptWrapper(const QString& javaScript) {
    return QStringLiteral(
               "(function () { try { (0, eval)('0'); } catch (e) { return %2; }"
               " try { var s = JSON.stringify((0, eval)(%1));"
               " return s === undefined ? 'null' : s; } catch (e) { return 'null'; } })()")
        .arg(scripttext::jsonLiteral(javaScript), scripttext::jsonLiteral(EvalRefused));
}

// The JSON text of a completion value as the engine hands it over, "null" for
// none (the script threw, or its value has no form outside the page).
QString jsonTextOf(const QVariant& value) {
    if (!value.isValid())
        return QStringLiteral("null");
    const QByteArray array =
        QJsonDocument(QJsonArray{QJsonValue::fromVariant(value)}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

} // namespace

QString add(QWebEnginePage& page, const QString& javaScript) {
    // One count for all views.
    static int lastId = 0;
    const QString id = QString::number(++lastId);
    QWebEngineScript script;
    script.setName(scriptName(id));
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::MainWorld);
    script.setRunsOnSubFrames(false);
    script.setSourceCode(StringDocuments::excludingBlank(javaScript));
    page.scripts().insert(script);
    return id;
}

void remove(QWebEnginePage& page, const QString& id) {
    for (const QWebEngineScript& script : page.scripts().find(scriptName(id)))
        page.scripts().remove(script);
}

void execute(QWebEnginePage& page, const QString& javaScript,
             std::function<void(const QString& json)> done) {
    QPointer<QWebEnginePage> guarded(&page);
    page.runJavaScript(
        executeScriptWrapper(javaScript), QWebEngineScript::MainWorld,
        [guarded, javaScript, done = std::move(done)](const QVariant& result) {
            const QString json =
                result.typeId() == QMetaType::QString ? result.toString() : QStringLiteral("null");
            if (json != EvalRefused || !guarded) {
                done(json == EvalRefused ? QStringLiteral("null") : json);
                return;
            }
            // The page refuses eval: the text runs as the script itself, and its value
            // comes back through the engine's own conversion.
            guarded->runJavaScript(javaScript, QWebEngineScript::MainWorld,
                                   [done](const QVariant& value) { done(jsonTextOf(value)); });
        });
}

} // namespace documentscripts
