#include "MessagePump.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QThread>
#include <QTimer>

namespace pump {

namespace {

constexpr std::chrono::milliseconds tickInterval(2);

bool isUserInput(QEvent::Type type) {
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::ContextMenu:
        return true;
    default:
        return false;
    }
}

class InputDiscarder : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override { return isUserInput(event->type()); }
};

// Drops user input sent to the application while it lives, when asked to.
class InputDiscardScope {
public:
    explicit InputDiscardScope(bool active)
        : m_app(active ? QCoreApplication::instance() : nullptr) {
        if (m_app)
            m_app->installEventFilter(&m_discarder);
    }
    ~InputDiscardScope() {
        if (m_app)
            m_app->removeEventFilter(&m_discarder);
    }
    InputDiscardScope(const InputDiscardScope&) = delete;
    InputDiscardScope& operator=(const InputDiscardScope&) = delete;

private:
    InputDiscarder m_discarder;
    QCoreApplication* m_app;
};

} // namespace

void processPending() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void processPendingDiscardingInput() {
    const InputDiscardScope discarding(true);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
               bool discardInput) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    if (!QCoreApplication::instance()) {
        // No event loop to sleep in: poll.
        while (!done()) {
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            sleep(tickInterval);
        }
        return true;
    }
    // The wait sleeps in the event loop, so work posted by other threads (the
    // browser's replies among it) runs as soon as it arrives; a pass that polls
    // and sleeps instead left each of those replies waiting about 20 ms. The
    // tick wakes the wait for the deadline and for conditions set without an event.
    QTimer tick;
    tick.start(tickInterval);
    const InputDiscardScope discarding(discardInput);
    bool finished = done();
    while (!finished && std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        finished = done();
    }
    return finished;
}

void sleep(std::chrono::milliseconds duration) {
    QThread::msleep(static_cast<unsigned long>(duration.count()));
}

} // namespace pump
