#pragma once

#include <QString>
#include <QWebEnginePage>

#include <functional>

// The scripts a view runs in its page's main frame: those added to run at the creation of each
// document (AddScriptToExecuteOnDocumentCreated) and ExecuteScript's.
namespace documentscripts {

// Adds `javaScript` to run at the creation of each later document; returns its id.
QString add(QWebEnginePage& page, const QString& javaScript);
void remove(QWebEnginePage& page, const QString& id);

// Runs `javaScript` as a global script. `done` receives the JSON text of its completion value,
// "null" when it throws or has no JSON form, and also "null" when the page goes away first.
void execute(QWebEnginePage& page, const QString& javaScript,
             std::function<void(const QString& json)> done);

} // namespace documentscripts
