#pragma once

#include <QString>

// Where the loaded module (program or shared library) that holds an address
// lives, so that a library finds the files installed beside it.
namespace modulepath {

// The module's absolute file path; empty when the address is in no module.
QString pathOf(const void* address);
// The folder of that module, without a trailing separator.
QString folderOf(const void* address);

} // namespace modulepath
