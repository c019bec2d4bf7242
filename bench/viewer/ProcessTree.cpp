#include "ProcessTree.h"

#include <QDir>
#include <QFile>

#include <map>
#include <set>
#include <vector>

namespace {

struct ProcessStat {
    pid_t pid = 0;
    QByteArray name;
    // The fields after the name: state, parent, ... (utime and stime are 11 and 12).
    QList<QByteArray> fields;
};

// Every process's /proc/PID/stat, its name in parentheses (which may itself
// hold blanks) apart.
std::vector<ProcessStat> processStats() {
    std::vector<ProcessStat> stats;
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
        const qsizetype open = line.indexOf('(');
        const qsizetype close = line.lastIndexOf(')');
        if (open < 0 || close < open)
            continue;
        stats.push_back(
            {pid, line.mid(open + 1, close - open - 1), line.mid(close + 2).split(' ')});
    }
    return stats;
}

std::multimap<pid_t, pid_t> childrenByParent() {
    std::multimap<pid_t, pid_t> children;
    for (const ProcessStat& stat : processStats())
        if (stat.fields.size() > 1)
            children.emplace(stat.fields[1].toInt(), stat.pid);
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

// A process and all its descendants.
std::vector<pid_t> treeOf(pid_t root) {
    const auto children = childrenByParent();
    std::vector<pid_t> tree;
    std::vector<pid_t> pending{root};
    std::set<pid_t> seen;
    while (!pending.empty()) {
        const pid_t pid = pending.back();
        pending.pop_back();
        if (!seen.insert(pid).second)
            continue;
        tree.push_back(pid);
        const auto [first, last] = children.equal_range(pid);
        for (auto it = first; it != last; ++it)
            pending.push_back(it->second);
    }
    return tree;
}

} // namespace

long long processTreePss(pid_t root) {
    long long total = 0;
    for (const pid_t pid : treeOf(root))
        total += pssOf(pid);
    return total;
}

long long processTreeCpuTicks(pid_t root) {
    const std::vector<pid_t> tree = treeOf(root);
    const std::set<pid_t> members(tree.begin(), tree.end());
    long long ticks = 0;
    for (const ProcessStat& stat : processStats())
        if (members.count(stat.pid) && stat.fields.size() > 12)
            ticks += stat.fields[11].toLongLong() + stat.fields[12].toLongLong();
    return ticks;
}

long long childrenCpuTicks(pid_t parent, const QByteArray& name) {
    long long ticks = 0;
    for (const ProcessStat& stat : processStats())
        if (stat.name == name && stat.fields.size() > 12 && stat.fields[1].toInt() == parent)
            ticks += stat.fields[11].toLongLong() + stat.fields[12].toLongLong();
    return ticks;
}
