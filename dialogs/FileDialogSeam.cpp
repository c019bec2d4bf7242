#include "FileDialogSeam.h"

#include "platform/UiServices.h"

#include <QFileDialog>
#include <QFileInfo>

namespace filedialogs {

namespace {

// Reports what Qt's dialog does on a typed name without a signal of its own: a file dialog
// opens a typed folder, a folder dialog refuses a name that is no existing folder (and tells
// the person itself).
class ReportingFileDialog : public QFileDialog {
public:
    explicit ReportingFileDialog(const Request& request)
        : QFileDialog(request.owner, request.title, request.initialFolder)
        , m_request(request) {}

    void accept() override {
        const Events& events = m_request.events;
        const QFileInfo chosen(selectedFiles().value(0));
        const bool folderDialog = m_request.kind == Kind::Folder;
        if (folderDialog && !chosen.isDir() && events.folderNotFound)
            events.folderNotFound(chosen.filePath());
        const bool entersFolder = !folderDialog && chosen.isDir();
        QFileDialog::accept();
        if (entersFolder && events.folderEntered)
            events.folderEntered(directory().absolutePath());
    }

private:
    const Request& m_request;
};

QFileDialog::FileMode fileMode(const Request& request) {
    if (request.kind == Kind::Folder)
        return QFileDialog::Directory;
    if (request.kind == Kind::Save)
        return QFileDialog::AnyFile;
    if (request.multiSelect)
        return QFileDialog::ExistingFiles;
    return request.fileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile;
}

void applyOptions(QFileDialog& dialog, const Request& request) {
    const bool folder = request.kind == Kind::Folder;
    dialog.setFileMode(fileMode(request));
    dialog.setAcceptMode(request.kind == Kind::Save ? QFileDialog::AcceptSave
                                                    : QFileDialog::AcceptOpen);
    dialog.setOption(QFileDialog::ShowDirsOnly, folder && !request.listFiles);
    // A read-only view has no "Create New Folder" action.
    dialog.setOption(QFileDialog::ReadOnly, folder && !request.allowNewFolder);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
    if (request.showHidden)
        dialog.setFilter(dialog.filter() | QDir::Hidden);
    if (!request.nameFilters.isEmpty()) {
        dialog.setNameFilters(request.nameFilters);
        dialog.selectNameFilter(request.nameFilters.value(request.selectedFilter));
    }
    if (!request.defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
}

void connectEvents(QFileDialog& dialog, const Request& request) {
    const Events& events = request.events;
    if (events.folderEntered)
        QObject::connect(&dialog, &QFileDialog::directoryEntered, &dialog, events.folderEntered);
    if (events.currentChanged)
        QObject::connect(&dialog, &QFileDialog::currentChanged, &dialog, events.currentChanged);
    if (events.filterSelected)
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                         [&request](const QString& filter) {
                             request.events.filterSelected(
                                 static_cast<int>(request.nameFilters.indexOf(filter)));
                         });
}

} // namespace

std::optional<Answer> showQtDialog(const Request& request) {
    ReportingFileDialog dialog(request);
    applyOptions(dialog, request);
    // Connected after the set-up, so that only what the person does is reported.
    connectEvents(dialog, request);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return Answer{
        dialog.selectedFiles(),
        std::max(0, static_cast<int>(request.nameFilters.indexOf(dialog.selectedNameFilter())))};
}

std::optional<Answer> run(const Request& request) {
    if (const Hook& hook = installedHook())
        return hook(request);
    if (ui::isUnattended())
        return std::nullopt;
    return showQtDialog(request);
}

} // namespace filedialogs
