#pragma once

#include <QString>

class QWidget;

namespace shellopen {

// Opens a file with its associated program, in the file's folder. A text
// holding an executable and its arguments ("prog.exe -x", or a program file
// followed by arguments) starts that program instead. True when started.
bool open(const QString& file, const QString& parameters = {}, QWidget* owner = nullptr);

} // namespace shellopen
