#pragma once

#include "platform/MessagePump.h"
#include "platform/automation/ControlSite.h"
#include "platform/automation/EventSource.h"
#include "platform/automation/ObjectFactory.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QWebEngineView>
#include <QWidget>

#include <chrono>
#include <functional>
#include <map>
#include <utility>

// The viewer as the benches drive it in their own process.
namespace benchviewer {

inline const QString ProgId = QStringLiteral("KestDicomViewControl.KestDicomViewAX");
inline constexpr auto Patience = std::chrono::seconds(60);

// The engine's settings the benches run under unless the caller set others:
// offscreen, without the sandbox and the GPU, as the tests run.
inline void setOffscreenDefaults() {
    for (const auto& [name, value] :
         {std::pair{"QT_QPA_PLATFORM", "offscreen"}, std::pair{"QTWEBENGINE_DISABLE_SANDBOX", "1"},
          std::pair{"QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu"}}) {
        if (qEnvironmentVariableIsEmpty(name))
            qputenv(name, value);
    }
}

inline double msSince(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e6;
}

// The viewer created as a host creates it, with the events it raised counted.
struct Viewer {
    QWidget window;
    DispatchPtr control;
    std::map<QString, int> counts;
    int cookie = 0;

    Viewer() {
        window.resize(1024, 768);
        control = automation::createObject(ProgId);
        control->control()->initNew();
        control->control()->widget()->setParent(&window);
        control->control()->widget()->resize(1024, 768);
        window.show();
        cookie = control->eventSource()->advise(std::make_shared<FunctionEventSink>(
            [this](DispId, const QString& name, QList<Variant>&) { ++counts[name]; }));
    }

    ~Viewer() {
        control->eventSource()->unadvise(cookie);
        control->control()->widget()->setParent(nullptr);
        control.reset();
        pump::processPending();
    }

    // Milliseconds from start() to the next event of that name, -1 when none came.
    double timeTo(const QString& event, const std::function<void()>& start) {
        const int before = counts[event];
        QElapsedTimer clock;
        clock.start();
        start();
        if (!pump::waitUntil([&] { return counts[event] > before; }, Patience))
            return -1;
        return msSince(clock);
    }

    bool loadFile(const QString& path) {
        return control->call(QStringLiteral("LoadDicomFile"), {Variant(path)}).toBool();
    }

    QWidget* child(const char* name) const {
        return control->control()->widget()->findChild<QWidget*>(QLatin1String(name));
    }

    // The view of the image page, null before the viewer has made it.
    QWebEngineView* imageView() const {
        QWidget* host = child("KestWebViewKD1");
        return host ? host->findChild<QWebEngineView*>() : nullptr;
    }
};

} // namespace benchviewer
