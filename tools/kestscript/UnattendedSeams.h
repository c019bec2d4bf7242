#pragma once

#include "platform/FileDialogHook.h"
#include "platform/UiServices.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <deque>
#include <optional>

// What answers in place of a person while a script runs. File and folder
// dialogs take the queued answers in order (an empty answer cancels; with
// none queued an unattended dialog is cancelled). Unattended message boxes
// are not shown: their text goes to standard error, they are recorded and
// answered with their default button. With a print folder every print job
// becomes a PDF file there. The hooks are removed on destruction.
class UnattendedSeams {
public:
    // A file or folder dialog as it was asked for.
    struct FileDialogRecord {
        QString kind; // "open", "save" or "folder"
        QString title;
        QString initialFolder;
        QString fileName;
        QStringList filters;
    };

    struct MessageBoxRecord {
        QString prompt;
        QString title;
        int style = 0;
        QStringList buttons;
        QString answer;
    };

    UnattendedSeams(bool attended, const QString& printFolder);
    ~UnattendedSeams();
    UnattendedSeams(const UnattendedSeams&) = delete;
    UnattendedSeams& operator=(const UnattendedSeams&) = delete;

    // Null cancels the dialog.
    void queueFileDialogAnswer(std::optional<QStringList> paths);
    const QList<MessageBoxRecord>& messageBoxes() const { return m_boxes; }
    // Every dialog answered from the queue (or cancelled for want of an answer).
    const QList<FileDialogRecord>& fileDialogs() const { return m_dialogs; }

    // The buttons of a message box style, by name, and the one that is its
    // default (the style's default-button bits, else the first).
    static QStringList buttonNames(int style);
    static int defaultAnswer(int style);

private:
    std::optional<filedialogs::Answer> answerFileDialog(const filedialogs::Request& request);
    int answerMessageBox(const ui::MessageBoxRequest& request);
    void updateFileDialogHook();

    // Deferred hook changes die with the seams.
    QObject m_context;
    bool m_attended;
    std::deque<std::optional<QStringList>> m_answers;
    QList<MessageBoxRecord> m_boxes;
    QList<FileDialogRecord> m_dialogs;
};
