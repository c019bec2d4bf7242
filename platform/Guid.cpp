#include "Guid.h"

#include <QRandomGenerator>
#include <QRegularExpression>

#include <atomic>

Guid Guid::createRandom() {
    Guid guid;
    auto* random = QRandomGenerator::system();
    guid.data1 = random->generate();
    guid.data2 = static_cast<std::uint16_t>(random->generate());
    guid.data3 = static_cast<std::uint16_t>((random->generate() & 0x0FFF) | 0x4000);
    for (auto& byte : guid.data4)
        byte = static_cast<std::uint8_t>(random->generate());
    guid.data4[0] = static_cast<std::uint8_t>((guid.data4[0] & 0x3F) | 0x80);
    return guid;
}

Guid Guid::createSequential() {
    static const Guid base = createRandom();
    static std::atomic<std::uint32_t> counter{0};
    Guid guid = base;
    guid.data1 = base.data1 + counter.fetch_add(1);
    return guid;
}

std::optional<Guid> Guid::fromString(const QString& text) {
    static const QRegularExpression pattern(
        QStringLiteral("^\\{?([0-9A-Fa-f]{8})-([0-9A-Fa-f]{4})-([0-9A-Fa-f]{4})-([0-9A-Fa-f]{4})-"
                       "([0-9A-Fa-f]{12})\\}?$"));
    const auto match = pattern.match(text.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    const bool open = text.trimmed().startsWith(QLatin1Char('{'));
    const bool close = text.trimmed().endsWith(QLatin1Char('}'));
    if (open != close)
        return std::nullopt;
    Guid guid;
    guid.data1 = match.captured(1).toUInt(nullptr, 16);
    guid.data2 = static_cast<std::uint16_t>(match.captured(2).toUInt(nullptr, 16));
    guid.data3 = static_cast<std::uint16_t>(match.captured(3).toUInt(nullptr, 16));
    const QString tail = match.captured(4) + match.captured(5);
    for (int i = 0; i < 8; ++i)
        guid.data4[static_cast<size_t>(i)] =
            static_cast<std::uint8_t>(tail.mid(i * 2, 2).toUInt(nullptr, 16));
    return guid;
}

QString Guid::toString(bool braces) const {
    QString text = QStringLiteral("%1-%2-%3-%4%5-")
                       .arg(data1, 8, 16, QLatin1Char('0'))
                       .arg(data2, 4, 16, QLatin1Char('0'))
                       .arg(data3, 4, 16, QLatin1Char('0'))
                       .arg(data4[0], 2, 16, QLatin1Char('0'))
                       .arg(data4[1], 2, 16, QLatin1Char('0'));
    for (size_t i = 2; i < data4.size(); ++i)
        text += QStringLiteral("%1").arg(data4[i], 2, 16, QLatin1Char('0'));
    text = text.toUpper();
    return braces ? QLatin1Char('{') + text + QLatin1Char('}') : text;
}
