#include "SeriesStack.h"

#include "SeriesHeader.h"
#include "StudyFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <vector>

namespace seriesstack {

namespace {

constexpr double kOrientationTolerance = 1e-3;
// Positions are compared in thousandths of a millimetre.
constexpr double kPositionSteps = 1000.0;

using Normal = std::array<double, 3>;

struct Member {
    Entry entry;
    QString name;
    // The position in steps, a whole number: equal keys are ties.
    std::optional<double> positionKey;
};

QString absolute(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

bool groupable(const ImageHeader& header) {
    return !header.seriesUid.isEmpty() && header.rows > 0 && header.columns > 0;
}

bool sameOrientation(const ImageHeader& a, const ImageHeader& b) {
    if (a.orientation.has_value() != b.orientation.has_value())
        return false;
    if (!a.orientation)
        return true;
    return std::equal(a.orientation->begin(), a.orientation->end(), b.orientation->begin(),
                      [](double x, double y) { return std::abs(x - y) <= kOrientationTolerance; });
}

bool belongs(const ImageHeader& chosen, const ImageHeader& other) {
    return groupable(other) && other.seriesUid == chosen.seriesUid && other.rows == chosen.rows &&
           other.columns == chosen.columns && sameOrientation(chosen, other) &&
           (chosen.localizer || !other.localizer);
}

std::optional<Normal> normalOf(const ImageHeader& header) {
    if (!header.orientation)
        return {};
    const std::array<double, 6>& o = *header.orientation;
    return Normal{o[1] * o[5] - o[2] * o[4], o[2] * o[3] - o[0] * o[5], o[0] * o[4] - o[1] * o[3]};
}

Member memberOf(const QString& path, const ImageHeader& header,
                const std::optional<Normal>& normal) {
    Member member;
    member.entry = {path, header.frames, header.instanceNumber, std::nullopt};
    member.name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    if (!normal || !header.position)
        return member;
    const std::array<double, 3>& p = *header.position;
    const double projection = p[0] * (*normal)[0] + p[1] * (*normal)[1] + p[2] * (*normal)[2];
    const double key = std::round(projection * kPositionSteps);
    if (!std::isfinite(key))
        return member;
    member.entry.position = projection;
    member.positionKey = key;
    return member;
}

// Positions from the largest, then instance numbers from the smallest, then names.
bool comesBefore(const Member& a, const Member& b) {
    if (a.positionKey.has_value() != b.positionKey.has_value())
        return a.positionKey.has_value();
    if (a.positionKey && *a.positionKey != *b.positionKey)
        return *a.positionKey > *b.positionKey;
    const std::optional<int>& left = a.entry.instanceNumber;
    const std::optional<int>& right = b.entry.instanceNumber;
    if (left.has_value() != right.has_value())
        return left.has_value();
    if (left && *left != *right)
        return *left < *right;
    if (a.name != b.name)
        return studyfolder::naturalLess(a.name, b.name);
    return studyfolder::naturalLess(a.entry.path, b.entry.path);
}

Stack ordered(std::vector<Member> members, const QString& chosenPath) {
    std::sort(members.begin(), members.end(), comesBefore);
    Stack stack;
    stack.entries.reserve(qsizetype(members.size()));
    for (Member& member : members) {
        if (member.entry.path == chosenPath)
            stack.current = stack.entries.size();
        stack.entries.append(std::move(member.entry));
    }
    return stack;
}

// Both the chosen path and the candidates absolute and clean.
std::optional<Stack> stackAmong(const QString& chosenPath, const QStringList& candidates) {
    HeaderReader reader;
    const ReadResult chosenRead = reader.read(chosenPath);
    const auto* chosen = std::get_if<ImageHeader>(&chosenRead);
    if (!chosen)
        return {};
    const std::optional<Normal> normal = normalOf(*chosen);
    std::vector<Member> members{memberOf(chosenPath, *chosen, normal)};
    if (!groupable(*chosen))
        return ordered(std::move(members), chosenPath);
    QSet<QString> seen{chosenPath};
    for (const QString& candidate : candidates) {
        const qsizetype before = seen.size();
        seen.insert(candidate);
        if (seen.size() == before)
            continue;
        const ReadResult read = reader.read(candidate);
        const auto* header = std::get_if<ImageHeader>(&read);
        if (header && belongs(*chosen, *header))
            members.push_back(memberOf(candidate, *header, normal));
    }
    return ordered(std::move(members), chosenPath);
}

} // namespace

std::optional<Stack> stackOf(const QString& file) {
    const QString chosen = absolute(file);
    QString folder = QFileInfo(chosen).path();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    QStringList paths;
    for (const QString& name : studyfolder::dicomFileNames(folder))
        paths.append(folder + name);
    return stackAmong(chosen, paths);
}

std::optional<Stack> stackOf(const QString& file, const QStringList& candidates) {
    QStringList paths;
    paths.reserve(candidates.size());
    for (const QString& candidate : candidates)
        paths.append(absolute(candidate));
    return stackAmong(absolute(file), paths);
}

} // namespace seriesstack
