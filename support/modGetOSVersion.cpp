#include "modGetOSVersion.h"

#include <QRegularExpression>
#include <QStringList>
#include <QSysInfo>

namespace osversion {

QString buildNumber() {
    static const QRegularExpression digits(QStringLiteral("\\d+"));
    QStringList parts;
    auto matches = digits.globalMatch(QSysInfo::kernelVersion());
    while (matches.hasNext())
        parts.append(matches.next().captured());
    return parts.join(QLatin1Char('.'));
}

} // namespace osversion
