// Makes the stack of one file in a folder of 10,000 small DICOM files (five series, their
// names shuffled) and times it against a reference in the same run: gdcm::Scanner reading
// the same eight tags of the same files, given their list. Prints the medians and the ratio
// against the goal of 1.5.
#include "bench/MedianTime.h"

#include "tests/common/DicomFiles.h"
#include "viewer/SeriesStack.h"
#include "viewer/StudyFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <gdcmScanner.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <numeric>
#include <random>
#include <vector>

namespace {

using testing_support::DicomBuilder;

constexpr int kFileCount = 10000;
constexpr int kRuns = 7;
constexpr double kGoal = 1.5;
constexpr int kAxialCount = 4000;

const QByteArray kSeriesA = "1.2.826.0.1.3680043.2.1125.1001";
const QByteArray kSeriesB = "1.2.826.0.1.3680043.2.1125.1002";

const std::vector<gdcm::Tag> kTags = {{0x0008, 0x0008}, {0x0020, 0x000e}, {0x0020, 0x0013},
                                      {0x0020, 0x0032}, {0x0020, 0x0037}, {0x0028, 0x0008},
                                      {0x0028, 0x0010}, {0x0028, 0x0011}};

struct Kind {
    QByteArray series;
    QByteArray imageType;
    QByteArray orientation;
    int size;
};

// File i of the folder: 4,000 axial images of series A, 20 localizers and 980 coronal
// images of the same series, then 2,500 axial images of series B and 2,500 larger ones.
Kind kindOf(int i) {
    const QByteArray axial = "1\\0\\0\\0\\1\\0";
    if (i < kAxialCount)
        return {kSeriesA, "ORIGINAL\\PRIMARY\\AXIAL", axial, 32};
    if (i < kAxialCount + 20)
        return {kSeriesA, "ORIGINAL\\PRIMARY\\LOCALIZER", axial, 32};
    if (i < 5000)
        return {kSeriesA, "ORIGINAL\\PRIMARY\\AXIAL", "1\\0\\0\\0\\0\\-1", 32};
    if (i < 7500)
        return {kSeriesB, "ORIGINAL\\PRIMARY\\AXIAL", axial, 32};
    return {kSeriesB, "ORIGINAL\\PRIMARY\\AXIAL", axial, 48};
}

// A header of the usual length: identification, patient and study values and a private block.
QByteArray imageFile(int i) {
    const Kind kind = kindOf(i);
    const QByteArray number = QByteArray::number(i);
    DicomBuilder builder;
    builder.add(0x0008, 0x0008, "CS", kind.imageType)
        .add(0x0008, 0x0016, "UI", "1.2.840.10008.5.1.4.1.1.2")
        .add(0x0008, 0x0018, "UI", "1.2.826.0.1.3680043.2.1125.9." + number)
        .add(0x0008, 0x0020, "DA", "20240101")
        .add(0x0008, 0x0060, "CS", "CT")
        .add(0x0008, 0x0070, "LO", "Bench Scanners")
        .add(0x0010, 0x0010, "PN", "Bench^Patient")
        .add(0x0010, 0x0020, "LO", "B1")
        .add(0x0018, 0x0050, "DS", "1.25")
        .add(0x0019, 0x0010, "LO", "BENCH PRIVATE")
        .add(0x0019, 0x1010, "OB", QByteArray(1024, '\x11'))
        .add(0x0020, 0x000d, "UI", "1.2.826.0.1.3680043.2.1125.1")
        .add(0x0020, 0x000e, "UI", kind.series)
        .add(0x0020, 0x0013, "IS", QByteArray::number(i % 5000 + 1))
        .add(0x0020, 0x0032, "DS", "-120\\-120\\" + QByteArray::number(-1.25 * (i % 5000)))
        .add(0x0020, 0x0037, "DS", kind.orientation)
        .addUs(0x0028, 0x0002, 1)
        .add(0x0028, 0x0004, "CS", "MONOCHROME2")
        .addUs(0x0028, 0x0010, std::uint16_t(kind.size))
        .addUs(0x0028, 0x0011, std::uint16_t(kind.size))
        .addUs(0x0028, 0x0100, 8)
        .add(0x7fe0, 0x0010, "OB", QByteArray(kind.size * kind.size, '\x40'));
    return builder.build();
}

// The name of file i: shuffled, so that neither names nor listing order follow the slices.
QString nameOf(int i) {
    static const std::vector<int> names = [] {
        std::vector<int> numbers(kFileCount);
        std::iota(numbers.begin(), numbers.end(), 1);
        std::shuffle(numbers.begin(), numbers.end(), std::mt19937(7));
        return numbers;
    }();
    return QStringLiteral("IM%1").arg(names[std::size_t(i)]);
}

bool makeFolder(const QString& folder) {
    for (int i = 0; i < kFileCount; ++i) {
        QFile file(folder + QLatin1Char('/') + nameOf(i));
        const QByteArray bytes = imageFile(i);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return false;
    }
    return true;
}

double median(const std::function<void()>& work) {
    return bench::medianMs(kRuns, work);
}

// The number of files the scanner read the Series Instance UID of.
std::size_t scan(const gdcm::Directory::FilenamesType& files) {
    gdcm::Scanner scanner;
    for (const gdcm::Tag& tag : kTags)
        scanner.AddTag(tag);
    if (!scanner.Scan(files))
        return 0;
    return std::size_t(std::count_if(files.begin(), files.end(), [&scanner](const std::string& f) {
        return scanner.GetValue(f.c_str(), gdcm::Tag(0x0020, 0x000e)) != nullptr;
    }));
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("study"));
    if (!QDir().mkpath(folder) || !makeFolder(folder)) {
        std::fputs("bench_series: the folder cannot be written\n", stderr);
        return 1;
    }
    gdcm::Directory::FilenamesType files;
    for (const QString& name : studyfolder::dicomFileNames(folder))
        files.push_back(QFile::encodeName(folder + QLatin1Char('/') + name).toStdString());
    // The file written first: an axial image of series A.
    const QString chosen = folder + QLatin1Char('/') + nameOf(0);

    std::size_t scanned = 0;
    const double reference = median([&] { scanned = scan(files); });
    qsizetype stacked = 0;
    bool ordered = true;
    const double stack = median([&] {
        const std::optional<seriesstack::Stack> made = seriesstack::stackOf(chosen);
        stacked = made ? made->entries.size() : -1;
        ordered = made && std::is_sorted(made->entries.begin(), made->entries.end(),
                                         [](const auto& a, const auto& b) {
                                             return a.position.value_or(0) > b.position.value_or(0);
                                         });
    });
    if (scanned != std::size_t(kFileCount) || stacked != kAxialCount || !ordered) {
        std::fprintf(stderr, "bench_series: %zu files scanned, %lld stacked (%s)\n", scanned,
                     static_cast<long long>(stacked), ordered ? "ordered" : "out of order");
        return 1;
    }
    const double ratio = stack / reference;
    std::printf("%d files, a stack of %lld, median of %d runs (page cache warm)\n", kFileCount,
                static_cast<long long>(stacked), kRuns);
    std::printf("reference  gdcm::Scanner, %zu tags  %9.1f ms\n", kTags.size(), reference);
    std::printf("stackOf    list, read, group, order  %9.1f ms   ratio %.2f (goal %.1f: %s)\n",
                stack, ratio, kGoal, ratio <= kGoal ? "met" : "not met");
    return 0;
}
