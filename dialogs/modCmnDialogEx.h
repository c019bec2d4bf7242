#pragma once

#include <QString>

#include <cstdint>

class QWidget;

// One-call file dialogs: each sets up a CmnDialogEx, shows it and returns the
// chosen path, or an empty string when the dialog was cancelled or failed.
namespace cmndialog {

// Flags value that selects the default flags of each dialog.
constexpr std::int32_t DefaultFlags = -1;
// Path and file must exist.
constexpr std::uint32_t DefaultOpenFlags = 6144;
// Overwrite prompt, path must exist, no read-only return.
constexpr std::uint32_t DefaultSaveFlags = 34818;

QString ShowOpenDialog(std::int32_t flags = DefaultFlags, const QString& initialDir = {},
                       const QString& title = {}, const QString& fileName = {},
                       const QString& filter = {}, const QString& defaultExt = {},
                       QWidget* owner = nullptr);
QString ShowSaveDialog(std::int32_t flags = DefaultFlags, const QString& initialDir = {},
                       const QString& title = {}, const QString& fileName = {},
                       const QString& filter = {}, const QString& defaultExt = {},
                       QWidget* owner = nullptr);

} // namespace cmndialog
