// The spacings the viewer reports for ultrasound images: one spatial region's
// deltas in millimetres, none when the regions differ.

#include "RenderRun.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(RenderCalibration, OneUltrasoundRegionGivesItsSpacingsInMillimetres) {
    QTemporaryDir folder;
    ASSERT_EQ(QProcess::execute(QStringLiteral(KEST_SYSTEM_PYTHON),
                                {QStringLiteral(KEST_DISPLAY_FILES), folder.path()}),
              0);
    RenderRun one;
    ASSERT_TRUE(one.run(folder.filePath(QStringLiteral("ultrasound_one_region.dcm"))))
        << one.errors().toStdString();
    EXPECT_DOUBLE_EQ(one.last("ImageLoaded").value("RowSpacing").toDouble(), 0.2);
    EXPECT_DOUBLE_EQ(one.last("ImageLoaded").value("ColSpacing").toDouble(), 0.1);
    RenderRun two;
    ASSERT_TRUE(two.run(folder.filePath(QStringLiteral("ultrasound_two_regions.dcm"))))
        << two.errors().toStdString();
    EXPECT_EQ(two.last("ImageLoaded").value("RowSpacing").toDouble(), -1.0);
    EXPECT_EQ(two.last("ImageLoaded").value("ColSpacing").toDouble(), -1.0);
}

} // namespace
