#include "platform/MessagePump.h"
#include "platform/UiServices.h"
#include "tests/common/TestApp.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

namespace {

class KeyCounter : public QWidget {
public:
    int keys = 0;

protected:
    void keyPressEvent(QKeyEvent*) override { ++keys; }
};

TEST(MessagePump, WaitEndsWhenTheFlagIsSetByAnEvent) {
    testing_support::app();
    bool done = false;
    QTimer::singleShot(20, [&] { done = true; });
    EXPECT_TRUE(pump::waitUntil([&] { return done; }, std::chrono::seconds(5)));
}

TEST(MessagePump, WaitEndsAtItsDeadline) {
    testing_support::app();
    EXPECT_FALSE(pump::waitUntil([] { return false; }, std::chrono::milliseconds(30)));
}

// The wait sleeps in the event loop: a condition that no event announces (set
// by another thread) must still end it, and so must an event posted from there.
TEST(MessagePump, WaitSeesConditionsAndEventsFromOtherThreads) {
    testing_support::app();
    std::atomic<bool> flag = false;
    std::thread setter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        flag = true;
    });
    EXPECT_TRUE(pump::waitUntil([&] { return flag.load(); }, std::chrono::seconds(5)));
    setter.join();

    QObject receiver;
    bool delivered = false;
    std::thread poster([&] {
        QMetaObject::invokeMethod(
            &receiver, [&] { delivered = true; }, Qt::QueuedConnection);
    });
    EXPECT_TRUE(pump::waitUntil([&] { return delivered; }, std::chrono::seconds(5)));
    poster.join();
}

TEST(MessagePump, NestedWaitsEndInTurn) {
    testing_support::app();
    bool inner = false, outer = false, innerEnded = false;
    QTimer::singleShot(0, [&] {
        QTimer::singleShot(10, [&] { inner = true; });
        innerEnded = pump::waitUntil([&] { return inner; }, std::chrono::seconds(5));
        outer = true;
    });
    EXPECT_TRUE(pump::waitUntil([&] { return outer; }, std::chrono::seconds(5)));
    EXPECT_TRUE(innerEnded);
}

TEST(MessagePump, DiscardingWaitDropsInputOnlyWhileItWaits) {
    testing_support::app();
    KeyCounter widget;
    bool done = false;
    QCoreApplication::postEvent(&widget,
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier));
    QTimer::singleShot(10, [&] { done = true; });
    EXPECT_TRUE(pump::waitUntil([&] { return done; }, std::chrono::seconds(5), true));
    EXPECT_EQ(widget.keys, 0);

    QCoreApplication::postEvent(&widget,
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_B, Qt::NoModifier));
    pump::processPending();
    EXPECT_EQ(widget.keys, 1);
}

TEST(MessagePump, DiscardingPassDropsInputButRunsOtherEvents) {
    testing_support::app();
    KeyCounter widget;
    bool timerRan = false;
    QTimer::singleShot(0, [&] { timerRan = true; });
    QCoreApplication::postEvent(&widget,
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier));
    pump::processPendingDiscardingInput();
    pump::processPending();
    EXPECT_EQ(widget.keys, 0);
    EXPECT_TRUE(timerRan);

    QCoreApplication::postEvent(&widget,
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_B, Qt::NoModifier));
    pump::processPending();
    EXPECT_EQ(widget.keys, 1);
}

TEST(UiServices, HooksAnswerInPlaceOfThePerson) {
    testing_support::app();
    QList<ui::MessageBoxRequest> shown;
    ui::setMessageBoxHook([&](const ui::MessageBoxRequest& request) {
        shown.append(request);
        return int(ui::MsgBox::No);
    });
    EXPECT_EQ(ui::messageBox("Continue?", ui::MsgBox::YesNo | ui::MsgBox::Question, "Title"),
              ui::MsgBox::No);
    ui::setMessageBoxHook(nullptr);
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].prompt, QStringLiteral("Continue?"));
    EXPECT_EQ(shown[0].title, QStringLiteral("Title"));

    ui::setInputBoxHook(
        [](const ui::InputBoxRequest& request) { return request.defaultText + "!"; });
    EXPECT_EQ(ui::inputBox("Name", "T", "abc"), QStringLiteral("abc!"));
    ui::setInputBoxHook(nullptr);
}

TEST(UiServices, UnattendedRunsTakeTheDefaultAnswer) {
    testing_support::app();
    ASSERT_TRUE(ui::isUnattended()); // tests run on the offscreen platform
    EXPECT_EQ(ui::messageBox("x", ui::MsgBox::YesNoCancel), ui::MsgBox::Yes);
    EXPECT_EQ(ui::messageBox("x", ui::MsgBox::OkCancel), ui::MsgBox::Ok);
    EXPECT_EQ(ui::inputBox("x", "t", "proposed"), QString());
}

} // namespace
