#include "HostileDicom.h"

#include "DicomFiles.h"

#include <QtEndian>

#include <algorithm>
#include <map>
#include <random>

namespace testing_support {

namespace {

constexpr std::uint32_t Undefined = 0xFFFFFFFF;

bool isVrChar(char c) {
    return c >= 'A' && c <= 'Z';
}

bool hasLongLength(const QByteArray& vr) {
    static const QList<QByteArray> vrs = {"OB", "OW", "OF", "OD", "OL", "OV", "SQ",
                                          "UC", "UN", "UR", "UT", "SV", "UV"};
    return vrs.contains(vr);
}

// An element header at offset: where its length field is, how wide, and where its value starts.
struct Header {
    int start = 0;
    int lengthAt = 0;
    int lengthSize = 4;
    int valueAt = 0;
    std::uint32_t length = 0;
    std::uint16_t group = 0;
    std::uint16_t element = 0;
};

bool readHeader(const QByteArray& file, qint64 position, Header& header) {
    if (position < 0 || position + 8 > file.size())
        return false;
    const int at = int(position);
    const auto* data = reinterpret_cast<const uchar*>(file.constData());
    header.start = at;
    header.group = qFromLittleEndian<std::uint16_t>(data + at);
    header.element = qFromLittleEndian<std::uint16_t>(data + at + 2);
    const bool item = header.group == 0xFFFE;
    const QByteArray vr = file.mid(at + 4, 2);
    if (!item && isVrChar(vr[0]) && isVrChar(vr[1])) {
        if (hasLongLength(vr)) {
            header.lengthAt = at + 8;
            header.lengthSize = 4;
            header.valueAt = at + 12;
        } else {
            header.lengthAt = at + 6;
            header.lengthSize = 2;
            header.valueAt = at + 8;
        }
    } else {
        header.lengthAt = at + 4;
        header.lengthSize = 4;
        header.valueAt = at + 8;
    }
    if (header.valueAt > file.size())
        return false;
    header.length = header.lengthSize == 2
                        ? qFromLittleEndian<std::uint16_t>(data + header.lengthAt)
                        : qFromLittleEndian<std::uint32_t>(data + header.lengthAt);
    return true;
}

QList<Header> headers(const QByteArray& file, int limit) {
    QList<Header> found;
    qint64 at = 132;
    Header header;
    while (at < std::min<qsizetype>(limit, file.size()) && readHeader(file, at, header)) {
        found.append(header);
        const bool descend =
            header.length == Undefined || header.group == 0xFFFE || file.mid(at + 4, 2) == "SQ";
        // A length past the end (the seeds are real files, but their variants are not) ends the
        // walk.
        at = descend ? header.valueAt : qint64(header.valueAt) + header.length;
    }
    return found;
}

void writeLength(QByteArray& file, const Header& header, std::uint32_t length) {
    auto* data = reinterpret_cast<uchar*>(file.data());
    if (header.lengthSize == 2)
        qToLittleEndian<std::uint16_t>(std::uint16_t(std::min<std::uint32_t>(length, 0xFFFF)),
                                       data + header.lengthAt);
    else
        qToLittleEndian<std::uint32_t>(length, data + header.lengthAt);
}

using Kind = QList<HostileFile>;

Kind cutAtBoundaries(const QString& name, const QByteArray& file) {
    Kind made;
    for (int boundary : elementBoundaries(file)) {
        made.append(
            {QStringLiteral("%1 cut at element %2").arg(name).arg(boundary), file.left(boundary)});
        made.append({QStringLiteral("%1 cut inside element %2").arg(name).arg(boundary),
                     file.left(boundary + 5)});
    }
    return made;
}

Kind cutAtRandom(const QString& name, const QByteArray& file, std::mt19937& random) {
    Kind made;
    for (int i = 0; i < 40; ++i) {
        const int at = int(random() % std::uint32_t(file.size()));
        made.append({QStringLiteral("%1 cut at %2").arg(name).arg(at), file.left(at)});
    }
    return made;
}

Kind flipped(const QString& name, const QByteArray& file, std::mt19937& random) {
    Kind made;
    for (int i = 0; i < 60; ++i) {
        QByteArray copy = file;
        const int flips = 1 + int(random() % 8);
        // Mostly in the header, where a flip changes the structure.
        const std::uint32_t span = std::uint32_t(std::min<qsizetype>(copy.size() - 132, 4096));
        for (int f = 0; f < flips; ++f)
            copy[132 + int(random() % span)] ^= char(1 << (random() % 8));
        made.append(
            {QStringLiteral("%1 with %2 bytes flipped (%3)").arg(name).arg(flips).arg(i), copy});
    }
    return made;
}

Kind hugeLengths(const QString& name, const QByteArray& file) {
    Kind made;
    const QList<std::uint32_t> lengths = {0xFFFFFFF0, 0x80000000, 0x7FFFFFFF, 0x10000000};
    const QList<Header> found = headers(file, 4096);
    for (qsizetype i = 0; i < found.size(); ++i) {
        QByteArray copy = file;
        const std::uint32_t length = lengths[i % lengths.size()];
        writeLength(copy, found[i], length);
        made.append({QStringLiteral("%1 element %2 claims %3 bytes")
                         .arg(name)
                         .arg(found[i].lengthAt)
                         .arg(length),
                     copy});
    }
    return made;
}

Kind undefinedWithoutDelimiters(const QString& name, const QByteArray& file) {
    Kind made;
    for (const Header& header : headers(file, 1 << 30)) {
        if (header.lengthSize != 4 || header.group == 0xFFFE || header.length == Undefined)
            continue;
        QByteArray copy = file;
        writeLength(copy, header, Undefined);
        made.append({QStringLiteral("%1 element %2 of undefined length, never closed")
                         .arg(name)
                         .arg(header.lengthAt),
                     copy});
    }
    return made;
}

Kind pixelsLongerThanTheFile(const QString& name, const QByteArray& file) {
    Kind made;
    for (const Header& header : headers(file, 1 << 30)) {
        if (header.group != 0x7FE0 || header.element != 0x0010 || header.lengthSize != 4)
            continue;
        for (std::uint32_t extra : {1u, 4096u, 100u << 20}) {
            QByteArray copy = file;
            writeLength(copy, header, std::uint32_t(file.size() - header.valueAt) + extra);
            made.append(
                {QStringLiteral("%1 pixel data %2 bytes past the end").arg(name).arg(extra), copy});
        }
    }
    return made;
}

} // namespace

QList<int> elementBoundaries(const QByteArray& file, int limit) {
    QList<int> boundaries;
    for (const Header& header : headers(file, limit))
        boundaries.append(header.start);
    return boundaries;
}

QByteArray deeplyNested(int depth) {
    QByteArray dataSet;
    dataSet.reserve(depth * 20);
    const QByteArray sequence = QByteArray::fromHex("0800 1511") + "SQ" + QByteArray(2, '\0') +
                                QByteArray::fromHex("ffffffff");
    const QByteArray item = QByteArray::fromHex("feff 00e0 ffffffff");
    for (int i = 0; i < depth; ++i)
        dataSet += sequence + item;
    return DicomBuilder().add(0x0008, 0x0060, "CS", "OT").build() + dataSet;
}

QList<HostileFile> hostileVariants(const QList<std::pair<QString, QByteArray>>& seeds, int count,
                                   std::uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<Kind> kinds;
    for (const auto& [name, file] : seeds) {
        if (file.size() <= 132)
            continue;
        kinds.push_back(cutAtBoundaries(name, file));
        kinds.push_back(cutAtRandom(name, file, random));
        kinds.push_back(flipped(name, file, random));
        kinds.push_back(hugeLengths(name, file));
        kinds.push_back(undefinedWithoutDelimiters(name, file));
        kinds.push_back(pixelsLongerThanTheFile(name, file));
    }
    kinds.push_back({{QStringLiteral("sequences nested 1,000 deep"), deeplyNested(1000)},
                     {QStringLiteral("sequences nested 100,000 deep"), deeplyNested(100000)}});
    // Round robin over the kinds, so that a small count still tries each kind.
    QList<HostileFile> chosen;
    for (std::size_t round = 0; chosen.size() < count; ++round) {
        bool any = false;
        for (const Kind& kind : kinds) {
            if (round < std::size_t(kind.size()) && chosen.size() < count) {
                chosen.append(kind[qsizetype(round)]);
                any = true;
            }
        }
        if (!any)
            break;
    }
    return chosen;
}

} // namespace testing_support
