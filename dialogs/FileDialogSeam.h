#pragma once

#include "platform/FileDialogHook.h"

// The file dialogs of the library go through this one point. The platform's
// hook answers in place of the person when one is installed; without a hook a
// QFileDialog is shown, except on a display-less platform, where every dialog
// answers Cancel so that an unattended run never blocks.
namespace filedialogs {

std::optional<Answer> run(const Request& request);

// The real QFileDialog for `request`, reporting to `request.events` while it is open; shown
// even on a display-less platform (tests drive it there).
std::optional<Answer> showQtDialog(const Request& request);

} // namespace filedialogs
