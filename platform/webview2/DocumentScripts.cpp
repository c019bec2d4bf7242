#include "DocumentScripts.h"

#include "ScriptText.h"
#include "StringDocuments.h"

#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

namespace documentscripts {

namespace {

QString scriptName(const QString& id) {
    return QStringLiteral("kwv-script-") + id;
}

QString executeScriptWrapper(const QString& javaScript) {
    return QStringLiteral(
               "(function () { try { var s = JSON.stringify((0, eval)(%1));"
               " return s === undefined ? 'null' : s; } catch (e) { return 'null'; } })()")
        .arg(scripttext::jsonLiteral(javaScript));
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
    page.runJavaScript(executeScriptWrapper(javaScript), QWebEngineScript::MainWorld,
                       [done = std::move(done)](const QVariant& result) {
                           done(result.typeId() == QMetaType::QString ? result.toString()
                                                                      : QStringLiteral("null"));
                       });
}

} // namespace documentscripts
