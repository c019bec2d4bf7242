#include "FileDialogSeam.h"

#include "platform/UiServices.h"

#include <QFileDialog>

namespace filedialogs {

namespace {

QFileDialog::FileMode fileMode(const Request& request) {
    if (request.kind == Kind::Folder)
        return QFileDialog::Directory;
    if (request.kind == Kind::Save)
        return QFileDialog::AnyFile;
    if (request.multiSelect)
        return QFileDialog::ExistingFiles;
    return request.fileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile;
}

std::optional<Answer> showQtDialog(const Request& request) {
    QFileDialog dialog(request.owner, request.title, request.initialFolder);
    dialog.setFileMode(fileMode(request));
    dialog.setAcceptMode(request.kind == Kind::Save ? QFileDialog::AcceptSave
                                                    : QFileDialog::AcceptOpen);
    dialog.setOption(QFileDialog::ShowDirsOnly, request.kind == Kind::Folder);
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
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return Answer{
        dialog.selectedFiles(),
        std::max(0, static_cast<int>(request.nameFilters.indexOf(dialog.selectedNameFilter())))};
}

} // namespace

std::optional<Answer> run(const Request& request) {
    if (const Hook& hook = installedHook())
        return hook(request);
    if (ui::isUnattended())
        return std::nullopt;
    return showQtDialog(request);
}

} // namespace filedialogs
