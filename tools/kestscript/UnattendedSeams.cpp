#include "UnattendedSeams.h"

#include "platform/PrinterSeam.h"

#include <QPrinter>

#include <cstdio>
#include <utility>

namespace {

struct Button {
    const char* name;
    int answer;
};

QList<Button> buttonsOf(int style) {
    using namespace ui::MsgBox;
    switch (style & 0x0F) {
    case OkCancel:
        return {{"OK", Ok}, {"Cancel", Cancel}};
    case AbortRetryIgnore:
        return {{"Abort", Abort}, {"Retry", Retry}, {"Ignore", Ignore}};
    case YesNoCancel:
        return {{"Yes", Yes}, {"No", No}, {"Cancel", Cancel}};
    case YesNo:
        return {{"Yes", Yes}, {"No", No}};
    case RetryCancel:
        return {{"Retry", Retry}, {"Cancel", Cancel}};
    default:
        return {{"OK", Ok}};
    }
}

// The style's default-button bits (second button 256, third 512, fourth 768).
Button defaultButton(int style) {
    const QList<Button> buttons = buttonsOf(style);
    const int index = (style >> 8) & 0x03;
    return index < buttons.size() ? buttons[index] : buttons.first();
}

const char* kindName(filedialogs::Kind kind) {
    switch (kind) {
    case filedialogs::Kind::Save:
        return "save";
    case filedialogs::Kind::Folder:
        return "folder";
    default:
        return "open";
    }
}

} // namespace

UnattendedSeams::UnattendedSeams(bool attended, const QString& printFolder)
    : m_attended(attended) {
    updateFileDialogHook();
    if (!attended)
        ui::setMessageBoxHook(
            [this](const ui::MessageBoxRequest& request) { return answerMessageBox(request); });
    if (!printFolder.isEmpty())
        printing::setHook([toFile = printing::pdfFolderHook(printFolder)](QPrinter& printer) {
            // The printer the job was meant for, then where it went.
            const QString meantFor = printer.printerName();
            toFile(printer);
            std::fprintf(stderr, "kestscript: print job for printer \"%s\" written to %s\n",
                         qPrintable(meantFor), qPrintable(printer.outputFileName()));
            std::fflush(stderr);
        });
}

UnattendedSeams::~UnattendedSeams() {
    filedialogs::setHook({});
    ui::setMessageBoxHook({});
    printing::setHook({});
}

void UnattendedSeams::queueFileDialogAnswer(std::optional<QStringList> paths) {
    m_answers.push_back(std::move(paths));
    updateFileDialogHook();
}

QStringList UnattendedSeams::buttonNames(int style) {
    QStringList names;
    for (const Button& button : buttonsOf(style))
        names.append(QString::fromLatin1(button.name));
    return names;
}

int UnattendedSeams::defaultAnswer(int style) {
    return defaultButton(style).answer;
}

// Attended runs show real dialogs except while answers are queued.
void UnattendedSeams::updateFileDialogHook() {
    if (m_attended && m_answers.empty()) {
        filedialogs::setHook({});
        return;
    }
    filedialogs::setHook(
        [this](const filedialogs::Request& request) { return answerFileDialog(request); });
}

std::optional<filedialogs::Answer>
UnattendedSeams::answerFileDialog(const filedialogs::Request& request) {
    m_dialogs.append({QString::fromLatin1(kindName(request.kind)), request.title,
                      request.initialFolder, request.fileName, request.nameFilters});
    if (m_answers.empty()) {
        std::fprintf(stderr, "kestscript: %s dialog \"%s\" cancelled: no answer was queued\n",
                     kindName(request.kind), qPrintable(request.title));
        return std::nullopt;
    }
    const std::optional<QStringList> paths = std::move(m_answers.front());
    m_answers.pop_front();
    // A hook cannot remove itself while it runs: an attended run gets its real
    // dialogs back once this answer is delivered.
    if (m_attended && m_answers.empty())
        QMetaObject::invokeMethod(
            &m_context, [this] { updateFileDialogHook(); }, Qt::QueuedConnection);
    if (!paths || paths->isEmpty())
        return std::nullopt;
    return filedialogs::Answer{*paths, 0};
}

int UnattendedSeams::answerMessageBox(const ui::MessageBoxRequest& request) {
    const Button answer = defaultButton(request.style);
    std::fprintf(stderr, "[%s] %s\n", qPrintable(request.title), qPrintable(request.prompt));
    std::fflush(stderr);
    m_boxes.append({request.prompt, request.title, request.style, buttonNames(request.style),
                    QString::fromLatin1(answer.name)});
    return answer.answer;
}
