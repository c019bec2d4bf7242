#include "HostValues.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QUrl>

#include <cmath>

namespace hostvalues {

double twipsPerPixel() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInch() : 96.0;
    return 1440.0 / (dpi > 0 ? dpi : 96.0);
}

int toPixels(double twips) {
    return static_cast<int>(std::lround(twips / twipsPerPixel()));
}

QString fileAddress(const QString& path) {
    return QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded);
}

} // namespace hostvalues
