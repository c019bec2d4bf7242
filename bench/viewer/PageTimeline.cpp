#include "PageTimeline.h"

#include "platform/MessagePump.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineView>

#include <algorithm>
#include <chrono>
#include <optional>

namespace pagetimeline {

namespace {

// Run from the host in the page's main world, which the page's policy does not govern.
constexpr auto TimingScript = R"((function () {
  var n = performance.getEntriesByType('navigation')[0];
  if (!n) { return ''; }
  var scripts = window.kestBenchScripts || [];
  return JSON.stringify({ document: n.responseEnd, interactive: n.domInteractive,
    contentLoaded: n.domContentLoadedEventEnd, loaded: n.loadEventEnd, scripts: scripts });
})())";

QString line(const char* what, double ms) {
    return QStringLiteral("  %1 %2 ms\n").arg(QLatin1String(what), -28).arg(ms, 7, 'f', 1);
}

// Injected at the document's creation, before any of its own scripts.
constexpr auto WatchScript = R"((function () {
  var scripts = window.kestBenchScripts = [];
  new MutationObserver(function (changes) {
    changes.forEach(function (change) {
      change.addedNodes.forEach(function (node) {
        if (node.tagName !== 'SCRIPT' || !node.src) { return; }
        var entry = { name: node.src.split('/').pop(), start: performance.now(), end: -1 };
        scripts.push(entry);
        node.addEventListener('load', function () { entry.end = performance.now(); });
      });
    });
  }).observe(document, { childList: true, subtree: true });
})())";

} // namespace

void watch(QWebEngineView& view) {
    QWebEngineScript script;
    script.setName(QStringLiteral("kestBenchTimeline"));
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::MainWorld);
    script.setSourceCode(QLatin1String(WatchScript));
    view.page()->scripts().insert(script);
}

QString read(QWebEngineView& view) {
    std::optional<QString> answer;
    view.page()->runJavaScript(QLatin1String(TimingScript),
                               [&answer](const QVariant& value) { answer = value.toString(); });
    if (!pump::waitUntil([&] { return answer.has_value(); }, std::chrono::seconds(10)))
        return {};
    const QJsonObject timing = QJsonDocument::fromJson(answer->toUtf8()).object();
    if (timing.isEmpty())
        return {};
    QString text = line("document received", timing.value(QStringLiteral("document")).toDouble());
    double lastScript = 0;
    for (const QJsonValue& entry : timing.value(QStringLiteral("scripts")).toArray()) {
        const QJsonObject script = entry.toObject();
        const double end = script.value(QStringLiteral("end")).toDouble();
        lastScript = std::max(lastScript, end);
        text += QStringLiteral("  %1 %2 to %3 ms\n")
                    .arg(script.value(QStringLiteral("name")).toString(), -28)
                    .arg(script.value(QStringLiteral("start")).toDouble(), 7, 'f', 1)
                    .arg(end, 7, 'f', 1);
    }
    text += line("last script run", lastScript);
    text += line("parsed (interactive)", timing.value(QStringLiteral("interactive")).toDouble());
    text +=
        line("DOMContentLoaded ended", timing.value(QStringLiteral("contentLoaded")).toDouble());
    text += line("load ended", timing.value(QStringLiteral("loaded")).toDouble());
    return text;
}

} // namespace pagetimeline
