#include "support/frmAbout.h"
#include "tests/common/TestApp.h"

#include <QDate>
#include <QLabel>

#include <gtest/gtest.h>

namespace {

QString labelText(const frmAbout& box, const char* name) {
    const auto* label = box.findChild<QLabel*>(QLatin1String(name));
    return label ? label->text() : QStringLiteral("<missing>");
}

TEST(AboutBox, ShowsVersionDescriptionAndRuntime) {
    testing_support::app();
    frmAbout box;
    box.load("1.0.12", false);
    EXPECT_EQ(labelText(box, "lblTitle"), QStringLiteral("KestDicomViewAX Control"));
    EXPECT_EQ(labelText(box, "lblVersion"), QStringLiteral("Version 1.0.12"));
    EXPECT_TRUE(labelText(box, "lblDescription")
                    .startsWith("Dicom File Viewer ActiveX component\n\nKestDicomViewAX Control is "
                                "based on Cornerstone.js"));
    EXPECT_TRUE(
        labelText(box, "lblDisclaimer").contains(QString::number(QDate::currentDate().year())));
    EXPECT_EQ(labelText(box, "lblWVVersion"), QStringLiteral("WebView2 Version : Evergreen"));
    box.load("1.0.12", true);
    EXPECT_EQ(labelText(box, "lblWVVersion"), QStringLiteral("WebView2 Version : 109 Fixed"));
}

} // namespace
