#include "SystemPrinter.h"

#include <QPrinterInfo>

#include <optional>

namespace printing {

namespace {

// The printer the program made current, if any; the default printer otherwise.
std::optional<QString>& chosen() {
    static std::optional<QString> name;
    return name;
}

} // namespace

QStringList installedPrinters() {
    return QPrinterInfo::availablePrinterNames();
}

QString currentPrinter() {
    if (chosen() && installedPrinters().contains(*chosen()))
        return *chosen();
    return QPrinterInfo::defaultPrinterName();
}

bool setCurrentPrinter(const QString& deviceName) {
    if (!installedPrinters().contains(deviceName))
        return false;
    chosen() = deviceName;
    return true;
}

} // namespace printing
