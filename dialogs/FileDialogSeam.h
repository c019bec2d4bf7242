#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QWidget;

// The file dialogs of the library go through this one point. A hook that tests
// install answers in place of the person; without a hook a QFileDialog is
// shown, except on a display-less platform, where every dialog answers Cancel
// so that an unattended run never blocks.
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

std::optional<Answer> run(const Request& request);

} // namespace filedialogs
