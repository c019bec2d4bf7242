#pragma once

#include <QString>

#include <functional>
#include <optional>

// What needs a person: message boxes, input boxes, the beep and the wait
// pointer. Each goes through a hook that tests install; without a hook a real
// dialog is shown, except on a display-less platform (offscreen), where the
// text goes to standard error and the default answer is taken so that an
// unattended run never blocks.
namespace ui {

// Message box styles and answers, with the runtime's values.
namespace MsgBox {
enum : int {
    OkOnly = 0,
    OkCancel = 1,
    AbortRetryIgnore = 2,
    YesNoCancel = 3,
    YesNo = 4,
    RetryCancel = 5,
    Critical = 16,
    Question = 32,
    Exclamation = 48,
    Information = 64,
};
enum Answer : int { Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };
} // namespace MsgBox

struct MessageBoxRequest {
    QString prompt;
    int style = MsgBox::OkOnly;
    QString title;
};

struct InputBoxRequest {
    QString prompt;
    QString title;
    QString defaultText;
};

int messageBox(const QString& prompt, int style = MsgBox::OkOnly, const QString& title = {});
// The text entered, or an empty string when the user cancels (as the runtime's InputBox).
QString inputBox(const QString& prompt, const QString& title = {}, const QString& defaultText = {});
void beep();

// Shows the hourglass pointer while it lives.
class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Test seams: a hook answers in place of the person; null removes it.
using MessageBoxHook = std::function<int(const MessageBoxRequest&)>;
using InputBoxHook = std::function<QString(const InputBoxRequest&)>;
void setMessageBoxHook(MessageBoxHook hook);
void setInputBoxHook(InputBoxHook hook);
void setBeepHook(std::function<void()> hook);

// True when no person can answer: no GUI application or a display-less platform.
bool isUnattended();

} // namespace ui
