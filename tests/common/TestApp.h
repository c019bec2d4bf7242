#pragma once

#include "QtPrinters.h"

class QApplication;

namespace testing_support {

// The process's QApplication, made on first use (headless under ctest).
QApplication& app();

} // namespace testing_support
