#include "MessagePump.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QThread>

namespace pump {

namespace {

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

} // namespace

void processPending() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void processPendingDiscardingInput() {
    auto* app = QCoreApplication::instance();
    if (!app)
        return;
    InputDiscarder discarder;
    app->installEventFilter(&discarder);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    app->removeEventFilter(&discarder);
}

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
               bool discardInput) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        if (discardInput)
            processPendingDiscardingInput();
        else
            processPending();
        // Yield briefly so an idle wait does not spin a core.
        QThread::usleep(500);
    }
    return true;
}

void sleep(std::chrono::milliseconds duration) {
    QThread::msleep(static_cast<unsigned long>(duration.count()));
}

} // namespace pump
