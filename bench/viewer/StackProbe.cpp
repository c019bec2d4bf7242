#include "StackProbe.h"

#include "platform/MessagePump.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWheelEvent>

#include <algorithm>
#include <memory>
#include <optional>

namespace stackprobe {

namespace {

// Installed once per page; each start clears what was seen.
const char* const StartScript = R"((function () {
  var element = document.getElementById('image');
  if (!element || typeof cornerstone === 'undefined') { return false; }
  var probe = window.benchProbe;
  if (!probe) {
    probe = window.benchProbe = { on: false };
    probe.indexOf = function (id) {
      var match = /s(\d+)\.dcm/.exec(id || '');
      return match ? parseInt(match[1], 10) : -1;
    };
    window.addEventListener('wheel', function (event) {
      if (probe.on) { probe.wheels.push([performance.now(), event.timeStamp]); probe.deltaY += event.deltaY; }
    }, { capture: true, passive: true });
    element.addEventListener(cornerstone.EVENTS.IMAGE_RENDERED, function (event) {
      var image = event.detail && event.detail.image;
      var id = image ? image.imageId : '';
      if (!probe.on || id === probe.last) { return; }
      probe.last = id;
      probe.shown.push([performance.now(), probe.indexOf(id)]);
    });
    if (window.PerformanceObserver) {
      new PerformanceObserver(function (list) {
        list.getEntries().forEach(function (entry) { if (probe.on) { probe.longTasks += entry.duration; } });
      }).observe({ entryTypes: ['longtask'] });
    }
    cornerstone.events.addEventListener(cornerstone.EVENTS.IMAGE_LOADED, function (event) {
      var image = event.detail && event.detail.image;
      if (probe.on && image) { probe.loaded[probe.indexOf(image.imageId)] = performance.now(); }
    });
  }
  var enabled = cornerstone.getEnabledElement(element);
  probe.last = enabled && enabled.image ? enabled.image.imageId : '';
  probe.lastIndex = probe.indexOf(probe.last);
  probe.wheels = [];
  probe.deltaY = 0;
  probe.longTasks = 0;
  probe.shown = [];
  probe.loaded = {};
  probe.on = true;
  return true;
})())";

const char* const FinishScript = R"((function () {
  var probe = window.benchProbe;
  if (!probe) { return ''; }
  probe.on = false;
  return JSON.stringify({ wheels: probe.wheels, deltaY: probe.deltaY, longTasks: probe.longTasks, shown: probe.shown, loaded: probe.loaded });
})())";

const char* const LastShownScript = R"((function () {
  var probe = window.benchProbe;
  var enabled = cornerstone.getEnabledElement(document.getElementById('image'));
  return probe && enabled && enabled.image ? probe.indexOf(enabled.image.imageId) : -1;
})())";

const char* const CentreScript = R"((function () {
  var box = document.getElementById('image').getBoundingClientRect();
  return [box.left + box.width / 2, box.top + box.height / 2];
})())";

} // namespace

QVariant evaluate(QWebEngineView* view, const QString& script) {
    auto result = std::make_shared<std::optional<QVariant>>();
    view->page()->runJavaScript(script, [result](const QVariant& value) { *result = value; });
    pump::waitUntil([&] { return result->has_value(); }, std::chrono::seconds(10));
    return result->value_or(QVariant());
}

bool start(QWebEngineView* view) {
    return evaluate(view, QLatin1String(StartScript)).toBool();
}

Record finish(QWebEngineView* view, int count) {
    Record record;
    const QJsonObject seen =
        QJsonDocument::fromJson(evaluate(view, QLatin1String(FinishScript)).toString().toUtf8())
            .object();
    for (const QJsonValue& wheel : seen.value(QStringLiteral("wheels")).toArray()) {
        const QJsonArray times = wheel.toArray();
        record.wheels.push_back({times.at(0).toDouble(), times.at(1).toDouble()});
    }
    for (const QJsonValue& shown : seen.value(QStringLiteral("shown")).toArray()) {
        const QJsonArray pair = shown.toArray();
        record.shown.push_back({pair.at(0).toDouble(), pair.at(1).toInt(-1)});
    }
    record.loadedAt.assign(std::size_t(std::max(0, count)), -1);
    const QJsonObject loaded = seen.value(QStringLiteral("loaded")).toObject();
    for (auto it = loaded.begin(); it != loaded.end(); ++it) {
        const int index = it.key().toInt();
        if (index >= 0 && index < count)
            record.loadedAt[std::size_t(index)] = it.value().toDouble();
    }
    record.deltaY = seen.value(QStringLiteral("deltaY")).toDouble();
    record.longTaskMs = seen.value(QStringLiteral("longTasks")).toDouble();
    return record;
}

int lastShown(QWebEngineView* view) {
    return evaluate(view, QLatin1String(LastShownScript)).toInt();
}

WheelTarget wheelTarget(QWebEngineView* view) {
    const QVariantList centre = evaluate(view, QLatin1String(CentreScript)).toList();
    QWidget* widget = view->focusProxy() ? view->focusProxy() : view;
    if (centre.size() != 2)
        return {widget, widget->rect().center()};
    const QPoint inView(int(centre[0].toDouble()), int(centre[1].toDouble()));
    return {widget, widget->mapFrom(view, inView)};
}

Wheeling turnWheel(const WheelTarget& target, int steps, double perSecond) {
    QElapsedTimer clock;
    clock.start();
    Wheeling wheeling;
    double lastTick = 0;
    int& sent = wheeling.sent;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        const double now = double(clock.nsecsElapsed()) / 1e6;
        wheeling.longestWaitMs = std::max(wheeling.longestWaitMs, now - lastTick);
        lastTick = now;
        // The notches due by now: a late timer catches up rather than slowing the rate.
        while (sent < steps && double(clock.nsecsElapsed()) / 1e6 >= sent * 1000.0 / perSecond) {
            const QPointF point(target.point);
            QWheelEvent wheel(point, QPointF(target.widget->mapToGlobal(target.point)), QPoint(),
                              QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                              false);
            QApplication::sendEvent(target.widget, &wheel);
            ++sent;
        }
    });
    timer.start(2);
    pump::waitUntil([&] { return sent >= steps; }, std::chrono::seconds(3600));
    return wheeling;
}

ScrollFigures scrollFigures(const Record& record, int from) {
    ScrollFigures figures;
    figures.wheelsSeen = int(record.wheels.size());
    figures.deltaY = record.deltaY;
    figures.longTaskMs = record.longTaskMs;
    figures.shownCount = int(record.shown.size());
    if (record.shown.empty() || record.wheels.empty())
        return figures;
    figures.lastIndex = record.shown.back().index;
    const double span = record.shown.back().ms - record.wheels.front().sentMs;
    figures.shownPerSecond = span > 0 ? figures.shownCount * 1000.0 / span : 0;
    double delivery = 0;
    for (const Wheel& wheel : record.wheels)
        delivery += wheel.arrivedMs - wheel.sentMs;
    figures.deliveryMs = delivery / double(record.wheels.size());
    int previous = from;
    for (const Shown& shown : record.shown) {
        figures.ordered = figures.ordered && shown.index > previous;
        previous = shown.index;
        // Each wheel event the page handles steps one image: the image
        // `from + k` is the k-th event's.
        const int event = shown.index - from - 1;
        if (event < 0 || event >= int(record.wheels.size()) ||
            shown.index >= int(record.loadedAt.size()))
            continue;
        const double stepped = record.wheels[std::size_t(event)].sentMs;
        if (record.loadedAt.at(std::size_t(shown.index)) <= stepped)
            figures.latencies.push_back(shown.ms - stepped);
    }
    return figures;
}

double displayRate(const Record& record) {
    if (record.shown.size() < 2)
        return -1;
    const double span = record.shown.back().ms - record.shown.front().ms;
    return span > 0 ? double(record.shown.size() - 1) * 1000 / span : -1;
}

double percentile(std::vector<double> values, double fraction) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto at = std::size_t(std::clamp(fraction, 0.0, 1.0) * double(values.size() - 1) + 0.5);
    return values[at];
}

} // namespace stackprobe
