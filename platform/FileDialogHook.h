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
