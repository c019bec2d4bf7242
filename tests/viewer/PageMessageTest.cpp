#include "viewer/PageMessage.h"
#include "tests/common/QtPrinters.h"
#include "viewer/DicomTools.h"

#include <gtest/gtest.h>

namespace {

using namespace pagemessage;

TEST(PageMessage, ValuesAreReadAsThePageWroteThem) {
    const QString content =
        R"({"nom":"DOE^JOHN","largeur":"512","note":"a \"quoted\" word","esc":"C:\\dir","open":"x)";
    EXPECT_EQ(value(content, "nom"), QStringLiteral("DOE^JOHN"));
    EXPECT_EQ(value(content, "largeur"), QStringLiteral("512"));
    EXPECT_EQ(value(content, "missing"), QString());
    EXPECT_EQ(value(content, "note"), QStringLiteral("a \\")); // an escaped quote ends the value
    EXPECT_EQ(value(content, "esc"), QStringLiteral("C:\\\\dir")); // no unescaping
    EXPECT_FALSE(value(content, "open").has_value());              // no closing quote
    EXPECT_EQ(value(content, "NOM"), QString());                   // keys are case-sensitive
    // A key is found wherever it first occurs, also inside another value.
    EXPECT_EQ(value(R"({"nom":"X"hauteur":"9","hauteur":"512"})", "hauteur"), QStringLiteral("9"));
    EXPECT_EQ(value(R"({"largeur": "512"})", "largeur"), QString()); // a blank after the colon
}

TEST(PageMessage, ConversionsRoundHalfToEvenAndRefuseNonNumbers) {
    EXPECT_EQ(toInteger("150"), std::int16_t(150));
    EXPECT_EQ(toInteger("2.5"), std::int16_t(2));
    EXPECT_EQ(toInteger("3.5"), std::int16_t(4));
    EXPECT_FALSE(toInteger("").has_value());
    EXPECT_FALSE(toInteger("abc").has_value());
    EXPECT_FALSE(toInteger("40000").has_value());
    EXPECT_EQ(toLong("-12"), -12);
    EXPECT_EQ(toDouble("0.3125"), 0.3125);
    EXPECT_FALSE(toDouble("0.3125mm").has_value());
    EXPECT_DOUBLE_EQ(numericPrefix("1.5"), 1.5);
    EXPECT_DOUBLE_EQ(numericPrefix("  101px"), 101);
    EXPECT_DOUBLE_EQ(numericPrefix(""), 0);
    EXPECT_DOUBLE_EQ(numericPrefix("abc"), 0);
    EXPECT_DOUBLE_EQ(numericPrefix("-.5e1x"), -5);
}

TEST(DicomTools, CommandsAndReportedNames) {
    EXPECT_EQ(tools::pageCommand(Tool_Next), QStringLiteral("Suivant"));
    EXPECT_EQ(tools::pageCommand(Tool_Previous), QStringLiteral("Precedent"));
    EXPECT_EQ(tools::pageCommand(Tool_FramePrevious), QStringLiteral("FramePrev"));
    EXPECT_EQ(tools::pageCommand(Tool_Wwwc), QStringLiteral("Wwwc"));
    EXPECT_FALSE(tools::pageCommand(Tool_Unknown).has_value());
    EXPECT_FALSE(tools::pageCommand(16).has_value());
    struct Case {
        const char* button;
        const char* name;
        int number;
    };
    const Case cases[] = {{"Suivant", "Next", 101},       {"Precedent", "Previous", 100},
                          {"FrameNext", "FrameNext", 14}, {"FramePrev", "FramePrev", 15},
                          {"Invert", "Invert", 11},       {"Cobb", "Cobb", 6},
                          {"Next", "UnknownTool", 0},     {"wwwc", "UnknownTool", 0}};
    for (const auto& c : cases) {
        const auto reported = tools::fromButton(QString::fromLatin1(c.button));
        EXPECT_EQ(reported.name, QString::fromLatin1(c.name)) << c.button;
        EXPECT_EQ(int(reported.number), c.number) << c.button;
    }
}

} // namespace
