#include "viewer/ViewerLayout.h"

#include <gtest/gtest.h>

namespace {

ViewerLayoutInput control(int width, int height, const char* listTag = "0",
                          const char* dirTag = "0") {
    ViewerLayoutInput input;
    input.innerWidth = width;
    input.outerWidth = width;
    input.outerHeight = height;
    input.listTag = QString::fromLatin1(listTag);
    input.dicomDirTag = QString::fromLatin1(dirTag);
    input.listFileTop = 300;
    input.waitIconWidth = 720;
    return input;
}

TEST(ViewerLayout, PagesCoverTheControlWithoutPanes) {
    const auto result = computeViewerLayout(control(15000, 9000));
    EXPECT_EQ(result.pages, QRect(0, 0, 15000, 9000));
    EXPECT_TRUE(result.pagesVisible);
    EXPECT_EQ(result.waitPicture, QRect(0, 0, 15000, 9000));
    EXPECT_EQ(result.waitIconLeft, (15000 - 720) / 2);
    ViewerLayoutInput empty = control(15000, 9000, "", "");
    EXPECT_EQ(computeViewerLayout(empty).pages, QRect(0, 0, 15000, 9000));
}

TEST(ViewerLayout, FileListTakesAFifthUpTo4500) {
    auto result = computeViewerLayout(control(30000, 9000, "1"));
    EXPECT_EQ(result.listWidth, 4500);
    EXPECT_EQ(result.pages.left(), 4500);
    EXPECT_EQ(result.pages.width(), 30000 - 4500);
    EXPECT_EQ(result.listFile, QRect(45, 300, 4440, 8700)); // 60 narrower, 45 from the left
    EXPECT_EQ(result.listLabelWidth, 4500);

    ViewerLayoutInput margined = control(30000, 9000, "1");
    margined.margin = 120;
    result = computeViewerLayout(margined);
    EXPECT_EQ(result.pages, QRect(120 + 4500, 120, 30000 - 240 - 4500, 9000 - 240));

    // A narrow control's list is under 4500: the pages stay beside it, in view.
    result = computeViewerLayout(control(10000, 9000, "1"));
    EXPECT_EQ(result.listWidth, 2000);
    EXPECT_TRUE(result.pagesVisible);
    EXPECT_EQ(result.pages, QRect(2000, 0, 8000, 9000));
}

TEST(ViewerLayout, DicomDirPaneModes) {
    auto result = computeViewerLayout(control(10000, 9000, "1", "1"));
    EXPECT_EQ(result.listTag, QStringLiteral("0")); // the DICOMDIR pane wins
    EXPECT_EQ(result.listWidth, 0);
    EXPECT_EQ(result.dicomDirWidth, 2000);
    EXPECT_EQ(result.pages.left(), 2000);
    EXPECT_EQ(result.pages.width(), 8000);

    result = computeViewerLayout(control(10000, 9000, "0", "2"));
    EXPECT_EQ(result.dicomDirWidth, 10000);
    EXPECT_FALSE(result.pagesVisible);

    result = computeViewerLayout(control(30000, 9000, "0", "6000"));
    EXPECT_EQ(result.dicomDirWidth, 6000);
    EXPECT_EQ(computeViewerLayout(control(30000, 9000, "0", "3")).dicomDirWidth, 4500);
    EXPECT_EQ(computeViewerLayout(control(30000, 9000, "0", "29000")).dicomDirWidth, 24000);
}

} // namespace
