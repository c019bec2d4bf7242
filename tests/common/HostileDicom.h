#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>

namespace testing_support {

// One damaged or crafted file: how it was made, and its bytes.
struct HostileFile {
    QString name;
    QByteArray bytes;
};

// The start of each element of a Part 10 file (meta header included, items
// and their contents too) up to limit, read in explicit or implicit little
// endian as each element's header shows.
QList<int> elementBoundaries(const QByteArray& file, int limit = 4096);

// Files made from the seeds: cut at every element boundary of the first
// 4 KB and at random points, bytes flipped, lengths claiming up to 4 GiB,
// undefined lengths without delimiters, pixel data longer than the file, and
// sequences nested thousands deep. The same seed gives the same files; at
// most `count` are returned, taken evenly from every kind.
QList<HostileFile> hostileVariants(const QList<std::pair<QString, QByteArray>>& seeds, int count,
                                   std::uint32_t seed = 1);

// A file whose data set is `depth` sequences nested in one another, none closed.
QByteArray deeplyNested(int depth);

} // namespace testing_support
