#include "DecoderMemory.h"

#include <QFile>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <limits>

namespace decodermemory {

namespace {

constexpr qint64 fixedAllowance = qint64(256) << 20;
constexpr qint64 bytesPerFileByte = 32;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool sanitizerOwnsAddressSpace = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool sanitizerOwnsAddressSpace = true;
#else
constexpr bool sanitizerOwnsAddressSpace = false;
#endif
#else
constexpr bool sanitizerOwnsAddressSpace = false;
#endif

// The process's virtual size, from the first field of /proc/self/statm (pages).
qint64 addressSpaceInUse() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    bool ok = false;
    const qint64 pages = statm.readLine().split(' ').value(0).toLongLong(&ok);
    return ok ? pages * sysconf(_SC_PAGESIZE) : -1;
}

qint64 budgetFor(qint64 fileSize) {
    const qint64 size = std::max<qint64>(fileSize, 0);
    const qint64 room = (std::numeric_limits<qint64>::max() - fixedAllowance) / bytesPerFileByte;
    return fixedAllowance + std::min(size, room) * bytesPerFileByte;
}

} // namespace

bool limitFor(qint64 fileSize) {
    if (sanitizerOwnsAddressSpace)
        return true;
    const qint64 inUse = addressSpaceInUse();
    if (inUse < 0)
        return false;
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) != 0)
        return false;
    const qint64 wanted = inUse + budgetFor(fileSize);
    if (limit.rlim_max != RLIM_INFINITY && rlim_t(wanted) > limit.rlim_max)
        return true;
    limit.rlim_cur = rlim_t(wanted);
    return setrlimit(RLIMIT_AS, &limit) == 0;
}

} // namespace decodermemory
