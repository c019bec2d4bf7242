#include "ProcessTree.h"

#include <QDir>
#include <QFile>

#include <map>
#include <set>
#include <vector>

namespace {

// Each process's parent, from the fourth field of /proc/PID/stat (after the
// name in parentheses, which may itself hold blanks).
std::multimap<pid_t, pid_t> childrenByParent() {
    std::multimap<pid_t, pid_t> children;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        bool numeric = false;
        const pid_t pid = entry.toInt(&numeric);
        if (!numeric)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const qsizetype close = line.lastIndexOf(')');
        const QList<QByteArray> fields = line.mid(close + 2).split(' ');
        if (fields.size() > 1)
            children.emplace(fields[1].toInt(), pid);
    }
    return children;
}

long long pssOf(pid_t pid) {
    QFile rollup(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    if (!rollup.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : rollup.readAll().split('\n')) {
        if (line.startsWith("Pss:"))
            return line.mid(4).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

} // namespace

long long processTreePss(pid_t root) {
    const auto children = childrenByParent();
    long long total = 0;
    std::vector<pid_t> pending{root};
    std::set<pid_t> seen;
    while (!pending.empty()) {
        const pid_t pid = pending.back();
        pending.pop_back();
        if (!seen.insert(pid).second)
            continue;
        total += pssOf(pid);
        const auto [first, last] = children.equal_range(pid);
        for (auto it = first; it != last; ++it)
            pending.push_back(it->second);
    }
    return total;
}
