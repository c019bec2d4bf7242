#pragma once

#include <QString>
#include <QStringList>

// The process's current printer, as the Windows runtime's printer object
// keeps it: the system's default printer until the program makes another
// installed printer current. Printers are Qt PrintSupport's (CUPS queues);
// a device name is a queue name.
namespace printing {

// The installed printers' device names, in the system's order.
QStringList installedPrinters();

// The current printer's device name; empty when no printer is installed.
QString currentPrinter();

// Makes the first installed printer with that device name current. False,
// and the current printer stays, when no installed printer has the name.
bool setCurrentPrinter(const QString& deviceName);

} // namespace printing
