#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QWidget;

// What a file or folder dialog asks and what the person answers. A hook that
// tests and unattended script hosts install answers in place of the person.
namespace filedialogs {

enum class Kind { Open, Save, Folder };

// What the person does while a dialog is open. The real dialog reports each step here as it
// happens; a hook may report the steps of its scripted person. Members left empty are not
// called.
struct Events {
    // The dialog shows the contents of `folder`.
    std::function<void(const QString& folder)> folderEntered;
    // The current item (a file or a folder) is now `path`.
    std::function<void(const QString& path)> currentChanged;
    // The person chose the name filter at 0-based index `filter`.
    std::function<void(int filter)> filterSelected;
    // A folder dialog refused the typed `name`, which is no existing folder.
    std::function<void(const QString& name)> folderNotFound;
};

struct Request {
    Kind kind = Kind::Open;
    QWidget* owner = nullptr;
    QString title;
    QString initialFolder;
    QString fileName;
    // Qt name filters ("Dicom Files (*.dcm)"), in order.
    QStringList nameFilters;
    // 0-based index into nameFilters.
    int selectedFilter = 0;
    QString defaultSuffix;
    bool multiSelect = false;
    bool fileMustExist = false;
    bool confirmOverwrite = false;
    bool showHidden = false;
    // Folder dialogs: whether files are listed beside the folders, and whether the person may
    // create a new folder.
    bool listFiles = false;
    bool allowNewFolder = true;
    Events events;
};

struct Answer {
    QStringList paths;
    // 0-based index of the filter the user chose.
    int selectedFilter = 0;
};

// Nothing answers Cancel.
using Hook = std::function<std::optional<Answer>(const Request&)>;
void setHook(Hook hook);
// The installed hook, or an empty function.
const Hook& installedHook();

} // namespace filedialogs
