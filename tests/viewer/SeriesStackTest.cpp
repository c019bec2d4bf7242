#include "viewer/SeriesStack.h"
#include "tests/common/CommaDecimalLocale.h"
#include "tests/common/DicomFiles.h"
#include "tests/common/HostileDicom.h"
#include "tests/common/QtPrinters.h"
#include "tests/common/TestFiles.h"
#include "viewer/SeriesHeader.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace seriesstack;
using testing_support::DicomBuilder;

constexpr auto kDeadline = std::chrono::seconds(20);

QByteArray littleEndian(quint32 value, int size) {
    char bytes[4];
    qToLittleEndian(value, bytes);
    return QByteArray(bytes, size);
}

QByteArray tagBytes(quint16 group, quint16 element) {
    return littleEndian(group, 2) + littleEndian(element, 2);
}

QByteArray implicitElement(quint16 group, quint16 element, const QByteArray& value) {
    return tagBytes(group, element) + littleEndian(quint32(value.size()), 4) + value;
}

QByteArray explicitElement(quint16 group, quint16 element, const char* vr,
                           const QByteArray& value) {
    return tagBytes(group, element) + vr + littleEndian(quint32(value.size()), 2) + value;
}

// An explicit element of undefined length holding the items, closed by a delimiter.
QByteArray undefinedLength(quint16 group, quint16 element, const char* vr,
                           const QByteArray& items) {
    return tagBytes(group, element) + vr + QByteArray(2, '\0') + littleEndian(0xffffffff, 4) +
           items + tagBytes(0xfffe, 0xe0dd) + littleEndian(0, 4);
}

QByteArray undefinedItem(const QByteArray& dataSet) {
    return tagBytes(0xfffe, 0xe000) + littleEndian(0xffffffff, 4) + dataSet +
           tagBytes(0xfffe, 0xe00d) + littleEndian(0, 4);
}

// The slice with the bytes put in just before its Pixel Data.
QByteArray withBeforePixels(const QByteArray& slice, const QByteArray& inserted) {
    const qsizetype at = slice.indexOf(tagBytes(0x7fe0, 0x0010) + "OB");
    return slice.left(at) + inserted + slice.mid(at);
}

const QByteArray kAxial = "1\\0\\0\\0\\1\\0";
const QByteArray kCoronal = "1\\0\\0\\0\\0\\-1";

// One image as a scanner writes it; empty values are left out of the file.
struct Slice {
    QByteArray position;
    QByteArray instance;
    QByteArray orientation = kAxial;
    QByteArray series = "1.2.826.0.1.3680043.2.1125.7";
    QByteArray imageType = "ORIGINAL\\PRIMARY\\AXIAL";
    int rows = 4;
    int columns = 4;
    int frames = 1;
};

QByteArray sliceBytes(const Slice& slice) {
    DicomBuilder builder;
    builder.add(0x0008, 0x0008, "CS", slice.imageType);
    builder.add(0x0020, 0x000e, "UI", slice.series);
    if (!slice.instance.isEmpty())
        builder.add(0x0020, 0x0013, "IS", slice.instance);
    if (!slice.position.isEmpty())
        builder.add(0x0020, 0x0032, "DS", slice.position);
    if (!slice.orientation.isEmpty())
        builder.add(0x0020, 0x0037, "DS", slice.orientation);
    builder.addUs(0x0028, 0x0002, 1);
    if (slice.frames > 1)
        builder.add(0x0028, 0x0008, "IS", QByteArray::number(slice.frames));
    builder.addUs(0x0028, 0x0010, std::uint16_t(slice.rows));
    builder.addUs(0x0028, 0x0011, std::uint16_t(slice.columns));
    builder.addUs(0x0028, 0x0100, 8);
    builder.add(0x7fe0, 0x0010, "OB",
                QByteArray(slice.rows * slice.columns * slice.frames, '\x40'));
    return builder.build();
}

QByteArray axialAt(double z, int instance) {
    return sliceBytes({"-100\\-100\\" + QByteArray::number(z), QByteArray::number(instance)});
}

class SeriesStackTest : public ::testing::Test {
protected:
    QString write(const QString& name, const QByteArray& bytes) {
        return testing_support::writeTestFile(dir, name, bytes);
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    QByteArray native(const QString& name) const { return QFile::encodeName(path(name)); }

    // The names of the stack's files, relative to the folder, in stack order.
    QStringList names(const std::optional<Stack>& stack) const {
        QStringList result;
        for (const Entry& entry : stack.value_or(Stack{}).entries)
            result.append(QDir(dir.path()).relativeFilePath(entry.path));
        return result;
    }

    std::optional<Stack> stackWithin(const QString& name) {
        return inTime([=, this] { return stackOf(path(name)); });
    }
    std::optional<Stack> stackAmong(const QString& name, const QStringList& candidates) {
        return inTime([=, this] { return stackOf(path(name), candidates); });
    }

    // Made on another thread, so that a file that blocks when opened fails the
    // test instead of hanging it.
    static std::optional<Stack> inTime(const std::function<std::optional<Stack>()>& make) {
        auto pending = std::async(std::launch::async, make);
        if (pending.wait_for(kDeadline) != std::future_status::ready) {
            ADD_FAILURE() << "the stack is not made in time";
            std::quick_exit(1); // the blocked thread cannot be joined
        }
        return pending.get();
    }

    QTemporaryDir dir;
};

TEST_F(SeriesStackTest, OrderFollowsThePositionOnTheNormalNotNamesOrNumbers) {
    // Instance numbers and names run against the geometry; the geometry decides.
    write("IM10", axialAt(-20, 1));
    write("IM2", axialAt(40.5, 4));
    write("im1", axialAt(0, 2));
    write("IM3", axialAt(12.25, 3));
    const std::optional<Stack> stack = stackWithin("IM10");
    ASSERT_TRUE(stack);
    EXPECT_EQ(names(stack), QStringList({"IM2", "IM3", "im1", "IM10"}));
    EXPECT_EQ(stack->current, 3);
    EXPECT_DOUBLE_EQ(stack->entries[0].position.value_or(0), 40.5);
    EXPECT_EQ(stack->entries[1].instanceNumber, 3);
    // Any member gives the same stack.
    const std::optional<Stack> fromAnother = stackWithin("IM3");
    ASSERT_TRUE(fromAnother);
    EXPECT_EQ(names(fromAnother), names(stack));
    EXPECT_EQ(fromAnother->current, 1);
}

// The demo's phantom series as pydicom writes it, under names that sort against its slices, with
// another series in the folder: one stack from the top of the head down, as it is numbered.
TEST_F(SeriesStackTest, ThePhantomSeriesWrittenByPydicomRunsFromHeadToFeet) {
    const QString written = path(QStringLiteral("written"));
    ASSERT_EQ(
        QProcess::execute(QStringLiteral(KEST_SYSTEM_PYTHON),
                          {QStringLiteral(KEST_PHANTOM_SCRIPT), written, QStringLiteral("12")}),
        0);
    QStringList expected;
    for (int number = 1; number <= 12; ++number) {
        const QString name = QStringLiteral("slice-%1").arg(number * 7 % 13);
        ASSERT_TRUE(QFile::rename(
            written + QStringLiteral("/IM%1.dcm").arg(number, 4, 10, QLatin1Char('0')),
            path(name)));
        expected << name;
    }
    ASSERT_TRUE(QFile::copy(testing_support::pydicomFile(QStringLiteral("CT_small.dcm")),
                            path(QStringLiteral("slice-0"))));
    const std::optional<Stack> stack = stackWithin(QStringLiteral("slice-3"));
    ASSERT_TRUE(stack);
    EXPECT_EQ(names(stack), expected);
    EXPECT_EQ(stack->current, 5);
    for (qsizetype at = 0; at < stack->entries.size(); ++at)
        EXPECT_EQ(stack->entries[at].instanceNumber, int(at) + 1);
}

TEST_F(SeriesStackTest, ASagittalSeriesRunsAlongItsOwnNormal) {
    // Rows along +y, columns along -z: the normal is -x, so the largest x comes last.
    const QByteArray sagittal = "0\\1\\0\\0\\0\\-1";
    write("a", sliceBytes({"30\\-5\\90", "1", sagittal}));
    write("b", sliceBytes({"-10\\7\\-3", "2", sagittal}));
    write("c", sliceBytes({"10.5\\0\\0", "3", sagittal}));
    const std::optional<Stack> stack = stackWithin("a");
    EXPECT_EQ(names(stack), QStringList({"b", "c", "a"}));
    ASSERT_TRUE(stack);
    EXPECT_DOUBLE_EQ(stack->entries[0].position.value_or(0), 10);
}

TEST_F(SeriesStackTest, DecimalsAreReadWithoutRegardToTheLocale) {
    const CommaDecimalLocale comma;
    if (!comma.active())
        GTEST_SKIP() << "fr_FR.UTF-8 is not installed";
    write("x1", axialAt(1.25, 1));
    write("x2", axialAt(1.5, 2));
    write("x3", axialAt(1.375, 3));
    EXPECT_EQ(names(stackWithin("x1")), QStringList({"x2", "x3", "x1"}));
}

TEST_F(SeriesStackTest, OtherSeriesSizesOrientationsAndLocalizersAreLeftOut) {
    write("ax1", axialAt(10, 1));
    write("ax2", axialAt(20, 2));
    // Within the tolerance of the orientation: the same plane written with rounding.
    write("ax3", sliceBytes({"0\\0\\30", "3", "0.99999999\\0.0001\\0\\-0.0001\\1\\0.00002"}));
    write("coronal", sliceBytes({"0\\15\\0", "4", kCoronal}));
    write("tilted", sliceBytes({"0\\0\\25", "5", "1\\0\\0\\0\\0.99\\0.14"}));
    write("flipped", sliceBytes({"0\\0\\26", "6", "-1\\0\\0\\0\\1\\0"}));
    Slice localizer{"0\\0\\15", "7"};
    localizer.imageType = "ORIGINAL\\PRIMARY\\LOCALIZER";
    write("scout", sliceBytes(localizer));
    Slice larger{"0\\0\\16", "8"};
    larger.rows = 8;
    write("larger", sliceBytes(larger));
    Slice otherSeries{"0\\0\\17", "9"};
    otherSeries.series = "1.2.3.999";
    write("other", sliceBytes(otherSeries));
    Slice noOrientation{"0\\0\\18", "10", {}};
    write("plain", sliceBytes(noOrientation));
    EXPECT_EQ(names(stackWithin("ax1")), QStringList({"ax3", "ax2", "ax1"}));
    // An opened localizer keeps the localizers, and the images of its plane.
    EXPECT_EQ(names(stackWithin("scout")), QStringList({"ax3", "ax2", "scout", "ax1"}));
    EXPECT_EQ(names(stackWithin("coronal")), QStringList({"coronal"}));
    EXPECT_EQ(names(stackWithin("larger")), QStringList({"larger"}));
    EXPECT_EQ(names(stackWithin("plain")), QStringList({"plain"}));
}

TEST_F(SeriesStackTest, TiesAndMissingPositionsGoByInstanceNumberThenName) {
    write("s10", axialAt(5, 7));
    write("s2", axialAt(5, 3));
    write("s3", axialAt(5, 3)); // same position and number: by name
    write("s1", axialAt(9, 9));
    write("s4", sliceBytes({{}, "1"}));                 // no position
    write("s5", sliceBytes({"nan\\0\\1", "2"}));        // not a number
    write("s6", sliceBytes({"0\\inf\\1", {}}));         // infinite, no number
    write("s7", sliceBytes({"1\\2", "0"}));             // two values only
    write("s8", sliceBytes({"a\\b\\c", "x1"}));         // neither is a number
    write("s9", sliceBytes({"0\\0\\5.0000001", "-4"})); // rounds to 5
    EXPECT_EQ(names(stackWithin("s5")),
              QStringList({"s1", "s9", "s2", "s3", "s10", "s7", "s4", "s5", "s6", "s8"}));
}

TEST_F(SeriesStackTest, WithoutOrientationFilesGoByInstanceNumberThenName) {
    const auto flat = [](const QByteArray& instance) {
        return sliceBytes({"0\\0\\1", instance, {}});
    };
    write("img10", flat("2"));
    write("img2", flat({}));
    write("IMG1", flat({}));
    write("img3", flat(" +1 "));
    write("img4", flat("1.5"));
    write("parallel", sliceBytes({"0\\0\\1", "0", "1\\0\\0\\2\\0\\0"}));
    write("null", sliceBytes({"0\\0\\1", "0", "0\\0\\0\\0\\1\\0"}));
    write("axial", axialAt(1, 1));
    const std::optional<Stack> stack = stackWithin("img2");
    EXPECT_EQ(names(stack),
              QStringList({"null", "parallel", "img3", "img10", "IMG1", "img2", "img4"}));
    ASSERT_TRUE(stack);
    EXPECT_FALSE(stack->entries[0].position);
}

TEST_F(SeriesStackTest, MultiFrameFilesAndFilesWithoutSeriesStandForThemselves) {
    Slice multiFrame{"0\\0\\0", "1"};
    multiFrame.frames = 12;
    multiFrame.series = "1.2.3.12";
    write("cine", sliceBytes(multiFrame));
    Slice noSeries{"0\\0\\0", "1"};
    noSeries.series.clear();
    write("lost1", sliceBytes(noSeries));
    write("lost2", sliceBytes(noSeries));
    const std::optional<Stack> cine = stackWithin("cine");
    ASSERT_TRUE(cine);
    ASSERT_EQ(cine->entries.size(), 1);
    EXPECT_EQ(cine->entries[0].frames, 12);
    EXPECT_EQ(cine->current, 0);
    EXPECT_EQ(names(stackWithin("lost1")), QStringList({"lost1"}));
    // A file of the Debian pydicom data: 15 frames in implicit little endian.
    const std::optional<Stack> dose = stackOf(testing_support::pydicomFile("rtdose.dcm"), {});
    ASSERT_TRUE(dose);
    EXPECT_EQ(dose->entries.value(0).frames, 15);
}

TEST_F(SeriesStackTest, FilesCutShortOrNotDicomAreSkipped) {
    write("a", axialAt(1, 1));
    write("b", axialAt(2, 2));
    const QByteArray whole = axialAt(3, 3);
    write("cut-in-pixels", whole.left(whole.size() - 5));
    // Cut after the values needed, inside the header of the next element.
    write("cut-in-header", whole.left(whole.indexOf(tagBytes(0x0028, 0x0100)) + 3));
    write("text.dcm", "just some text, not an image");
    write("empty", {});
    write("signature-only", QByteArray(128, '\0') + "DICM");
    EXPECT_EQ(names(stackWithin("a")), QStringList({"b", "a"}));
    EXPECT_FALSE(stackWithin("cut-in-pixels"));
    EXPECT_FALSE(stackWithin("cut-in-header"));
    EXPECT_FALSE(stackWithin("text.dcm"));
    EXPECT_FALSE(stackWithin("missing"));
    EXPECT_EQ(names(stackWithin("signature-only")), QStringList({"signature-only"}));
}

TEST_F(SeriesStackTest, LinksCountAndSpecialFilesAreNeverOpened) {
    write("a", axialAt(1, 1));
    write("b", axialAt(2, 2));
    write("sub/c", axialAt(3, 3));
    ASSERT_EQ(symlink(native("a").constData(), native("link").constData()), 0);
    ASSERT_EQ(symlink(native("sub").constData(), native("folder-link").constData()), 0);
    ASSERT_EQ(mkfifo(native("fifo.dcm").constData(), 0600), 0);
    ASSERT_EQ(symlink(native("fifo.dcm").constData(), native("fifo-link").constData()), 0);
    EXPECT_EQ(names(stackWithin("a")), QStringList({"b", "a", "link"}));
    EXPECT_FALSE(stackWithin("fifo.dcm"));
    const QStringList candidates = {path("fifo.dcm"), path("fifo-link"), path("sub"), path("b")};
    EXPECT_EQ(names(stackAmong("a", candidates)), QStringList({"b", "a"}));
}

TEST_F(SeriesStackTest, GivenCandidatesAreTheOnlyOnesLookedAt) {
    write("cd/one/IM1", axialAt(1, 1));
    write("cd/two/IM1", axialAt(1, 1));
    write("cd/one/IM2", axialAt(2, 2));
    write("cd/one/IM3", axialAt(3, 3)); // not listed
    write("cd/one/IM4", axialAt(4, 4));
    const QStringList candidates = {path("cd/two/IM1"), path("cd/one/IM2"),
                                    path("cd/one/../one/IM2"), path("cd/one/IM1"),
                                    path("cd/one/gone")};
    // The file opened belongs to its stack even when it is not listed.
    const std::optional<Stack> stack = stackAmong("cd/one/IM4", candidates);
    EXPECT_EQ(names(stack), QStringList({"cd/one/IM4", "cd/one/IM2", "cd/one/IM1", "cd/two/IM1"}));
    ASSERT_TRUE(stack);
    EXPECT_EQ(stack->current, 0);
}

// Files of the Debian pydicom data, written by other programs.
TEST(SeriesHeaderTest, EachSyntaxGivesTheSameValues) {
    HeaderReader reader;
    for (const char* name : {"MR_small.dcm", "MR_small_implicit.dcm", "MR_small_bigendian.dcm"}) {
        SCOPED_TRACE(name);
        const ReadResult read = reader.read(testing_support::pydicomFile(name));
        const auto* header = std::get_if<ImageHeader>(&read);
        ASSERT_TRUE(header);
        EXPECT_EQ(header->seriesUid, "1.3.6.1.4.1.5962.1.3.4.1.20040826185059.5457");
        EXPECT_EQ(header->rows, 64);
        EXPECT_EQ(header->columns, 64);
        EXPECT_EQ(header->instanceNumber, 1);
        EXPECT_EQ(header->position, (std::array<double, 3>{-83.9063, -91.2, 6.6406}));
        EXPECT_EQ(header->orientation, (std::array<double, 6>{1, 0, 0, 0, 1, 0}));
        EXPECT_FALSE(header->localizer);
    }
    const ReadResult rle = reader.read(testing_support::pydicomFile("SC_rgb_rle_2frame.dcm"));
    ASSERT_TRUE(std::holds_alternative<ImageHeader>(rle));
    EXPECT_EQ(std::get<ImageHeader>(rle).frames, 2);
    EXPECT_EQ(std::get<ReadError>(reader.read(testing_support::pydicomFile("MR_truncated.dcm"))),
              ReadError::Truncated);
    EXPECT_EQ(std::get<ReadError>(reader.read(testing_support::pydicomFile("image_dfl.dcm"))),
              ReadError::Unsupported);
    EXPECT_EQ(std::get<ReadError>(reader.read(testing_support::pydicomFile("no_meta.dcm"))),
              ReadError::NotDicom);
}

TEST(SeriesHeaderTest, ValuesInsideSequencesAreNotTheImages) {
    const QByteArray inner = explicitElement(0x0020, 0x0013, "IS", "77");
    const QByteArray nested =
        undefinedLength(0x0008, 0x1140, "SQ",
                        tagBytes(0xfffe, 0xe000) + littleEndian(quint32(inner.size()), 4) + inner);
    const QByteArray sequence =
        undefinedLength(0x0029, 0x1010, "SQ",
                        undefinedItem(nested + explicitElement(0x0020, 0x000e, "UI", "9.9.9.9") +
                                      explicitElement(0x0028, 0x0010, "US", littleEndian(99, 2))));
    // Unknown VR of undefined length: its items are implicit little endian.
    const QByteArray unknown = undefinedLength(
        0x0029, 0x1020, "UN", undefinedItem(implicitElement(0x0020, 0x0032, "7\\7\\7 ")));
    QTemporaryDir dir;
    HeaderReader reader;
    const QByteArray slice = withBeforePixels(axialAt(-12.5, 3), sequence + unknown);
    const ReadResult read = reader.read(testing_support::writeTestFile(dir, "f", slice));
    const auto* header = std::get_if<ImageHeader>(&read);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->seriesUid, "1.2.826.0.1.3680043.2.1125.7");
    EXPECT_EQ(header->rows, 4);
    EXPECT_EQ(header->instanceNumber, 3);
    EXPECT_EQ(header->position, (std::array<double, 3>{-100, -100, -12.5}));
    // A sequence never closed, and a value claiming 4 GiB, run past the end of the file.
    const QByteArray unclosed =
        withBeforePixels(axialAt(1, 1), tagBytes(0x0029, 0x1010) + "SQ" + QByteArray(2, '\0') +
                                            littleEndian(0xffffffff, 4));
    EXPECT_EQ(std::get<ReadError>(reader.read(testing_support::writeTestFile(dir, "u", unclosed))),
              ReadError::Truncated);
    const QByteArray huge =
        withBeforePixels(axialAt(1, 1), tagBytes(0x0029, 0x1000) + "UT" + QByteArray(2, '\0') +
                                            littleEndian(0xfffffff0, 4));
    EXPECT_EQ(std::get<ReadError>(reader.read(testing_support::writeTestFile(dir, "h", huge))),
              ReadError::Truncated);
}

TEST(SeriesHeaderTest, HostileFilesEndWithAnAnswer) {
    const QList<testing_support::HostileFile> files = testing_support::hostileVariants(
        {{QStringLiteral("slice"), axialAt(5, 1)},
         {QStringLiteral("pydicom"),
          [] {
              QFile file(testing_support::pydicomFile("CT_small.dcm"));
              return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
          }()}},
        400);
    ASSERT_GE(files.size(), 100);
    QTemporaryDir dir;
    HeaderReader reader;
    int refused = 0;
    for (const testing_support::HostileFile& file : files) {
        const ReadResult read = reader.read(testing_support::writeTestFile(dir, "f", file.bytes));
        refused += std::holds_alternative<ReadError>(read);
    }
    EXPECT_GT(refused, 0);
    const QByteArray nested = testing_support::deeplyNested(5000);
    EXPECT_TRUE(std::holds_alternative<ReadError>(
        reader.read(testing_support::writeTestFile(dir, "nested", nested))));
}

} // namespace
