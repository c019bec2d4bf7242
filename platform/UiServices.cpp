#include "UiServices.h"

#include <QApplication>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>

#include <cstdio>

namespace ui {

namespace {

MessageBoxHook& messageBoxHook() {
    static MessageBoxHook hook;
    return hook;
}

InputBoxHook& inputBoxHook() {
    static InputBoxHook hook;
    return hook;
}

std::function<void()>& beepHook() {
    static std::function<void()> hook;
    return hook;
}

// The default button of each style: the first one.
int defaultAnswer(int style) {
    switch (style & 0x0F) {
    case MsgBox::AbortRetryIgnore:
        return MsgBox::Abort;
    case MsgBox::YesNoCancel:
    case MsgBox::YesNo:
        return MsgBox::Yes;
    case MsgBox::RetryCancel:
        return MsgBox::Retry;
    default:
        return MsgBox::Ok;
    }
}

QMessageBox::StandardButtons buttonsFor(int style) {
    switch (style & 0x0F) {
    case MsgBox::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MsgBox::AbortRetryIgnore:
        return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    case MsgBox::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MsgBox::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case MsgBox::RetryCancel:
        return QMessageBox::Retry | QMessageBox::Cancel;
    default:
        return QMessageBox::Ok;
    }
}

QMessageBox::Icon iconFor(int style) {
    switch (style & 0x70) {
    case MsgBox::Critical:
        return QMessageBox::Critical;
    case MsgBox::Question:
        return QMessageBox::Question;
    case MsgBox::Exclamation:
        return QMessageBox::Warning;
    case MsgBox::Information:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

int answerFor(int button) {
    switch (button) {
    case QMessageBox::Ok:
        return MsgBox::Ok;
    case QMessageBox::Cancel:
        return MsgBox::Cancel;
    case QMessageBox::Abort:
        return MsgBox::Abort;
    case QMessageBox::Retry:
        return MsgBox::Retry;
    case QMessageBox::Ignore:
        return MsgBox::Ignore;
    case QMessageBox::Yes:
        return MsgBox::Yes;
    case QMessageBox::No:
        return MsgBox::No;
    default:
        return MsgBox::Cancel;
    }
}

QString applicationTitle() {
    return QCoreApplication::applicationName();
}

} // namespace

bool isUnattended() {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return true;
    return QGuiApplication::platformName() == QLatin1String("offscreen") ||
           QGuiApplication::platformName() == QLatin1String("minimal");
}

int messageBox(const QString& prompt, int style, const QString& title) {
    const QString caption = title.isEmpty() ? applicationTitle() : title;
    if (messageBoxHook())
        return messageBoxHook()({prompt, style, caption});
    if (isUnattended()) {
        std::fprintf(stderr, "[%s] %s\n", qPrintable(caption), qPrintable(prompt));
        return defaultAnswer(style);
    }
    QMessageBox box(iconFor(style), caption, prompt, buttonsFor(style));
    return answerFor(box.exec());
}

QString inputBox(const QString& prompt, const QString& title, const QString& defaultText) {
    const QString caption = title.isEmpty() ? applicationTitle() : title;
    if (inputBoxHook())
        return inputBoxHook()({prompt, caption, defaultText});
    if (isUnattended())
        return {};
    bool ok = false;
    const QString text =
        QInputDialog::getText(nullptr, caption, prompt, QLineEdit::Normal, defaultText, &ok);
    return ok ? text : QString();
}

void beep() {
    if (beepHook()) {
        beepHook()();
        return;
    }
    if (!isUnattended())
        QApplication::beep();
}

WaitCursor::WaitCursor() {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

WaitCursor::~WaitCursor() {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        QGuiApplication::restoreOverrideCursor();
}

void setMessageBoxHook(MessageBoxHook hook) {
    messageBoxHook() = std::move(hook);
}

void setInputBoxHook(InputBoxHook hook) {
    inputBoxHook() = std::move(hook);
}

void setBeepHook(std::function<void()> hook) {
    beepHook() = std::move(hook);
}

} // namespace ui
