#include "test_host/ToolPanel.h"
#include "test_host/OptionButton.h"

#include "tests/common/TestApp.h"

#include <QFrame>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class ToolPanelTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { testing_support::app(); }

    ToolPanel panel{QStringLiteral(KEST_PROGRAM_FOLDER "/TestIcons"), nullptr};
    QSignalSpy clicked{&panel, &ToolPanel::optionClicked};
};

struct Hint {
    int index;
    const char* text;
};

TEST_F(ToolPanelTest, ButtonsCarryTheirHintsAndInstalledPictures) {
    const Hint hints[] = {{1, "Contrast (W/L)"},  {2, "Zoom"},          {3, "Pan"},
                          {4, "Length"},          {5, "Angle"},         {6, "Cobb Angle"},
                          {7, "Rectangle (ROI)"}, {8, "Ellipse (ROI)"}, {9, "Probe"},
                          {10, "Magnifier"},      {20, "DICOM Image"},  {21, "DICOM Tags"},
                          {30, "Not Inverted"},   {31, "Inverted"},     {40, "View Sidebar"},
                          {41, "Hide Sidebar"}};
    for (const Hint& hint : hints) {
        SCOPED_TRACE(hint.index);
        OptionButton* button = panel.option(hint.index);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->toolTip(), hint.text);
        EXPECT_FALSE(button->icon().pixmap(24).isNull()) << "picture not installed or not drawn";
    }
    const char* commandHints[] = {"Clear measurements", "Reset View",
                                  "100% 1 pixel Image - 1 pixel screen"};
    for (int number = 1; number <= 3; ++number) {
        ASSERT_NE(panel.command(number), nullptr);
        EXPECT_EQ(panel.command(number)->toolTip(), commandHints[number - 1]);
        EXPECT_FALSE(panel.command(number)->icon().pixmap(24).isNull());
    }
    EXPECT_EQ(panel.option(0), nullptr);
    EXPECT_EQ(panel.option(11), nullptr);
}

// Each group excludes its own buttons only, and a group's buttons sit in that group's frame.
TEST_F(ToolPanelTest, GroupsExcludeWithinThemselves) {
    const std::pair<int, QList<int>> groups[] = {{option::Tools, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
                                                 {option::Page, {20, 21}},
                                                 {option::Inversion, {30, 31}},
                                                 {option::Sidebar, {40, 41}}};
    for (const auto& [number, indexes] : groups)
        for (int index : indexes)
            EXPECT_EQ(panel.option(index)->parentWidget(), panel.group(number)) << index;
    panel.select(4);
    panel.select(21);
    panel.select(31);
    panel.select(40);
    panel.select(7);
    EXPECT_FALSE(panel.option(4)->isChecked());
    for (int index : {7, 21, 31, 40})
        EXPECT_TRUE(panel.option(index)->isChecked()) << index;
}

TEST_F(ToolPanelTest, OnlyAMouseClickOnAButtonIsReported) {
    panel.show();
    panel.select(5);
    panel.option(6)->click(); // from code, no mouse button down
    EXPECT_EQ(clicked.count(), 0);
    EXPECT_FALSE(panel.mousePressed());

    QTest::mousePress(panel.option(6), Qt::LeftButton);
    EXPECT_TRUE(panel.mousePressed());
    QTest::mouseRelease(panel.option(6), Qt::LeftButton);
    EXPECT_FALSE(panel.mousePressed());
    ASSERT_EQ(clicked.count(), 1);
    EXPECT_EQ(clicked.takeFirst().value(0).toInt(), 6);

    // A click on the button that is already selected is reported too (the inversion toggle).
    QTest::mouseClick(panel.option(6), Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);
}

} // namespace
