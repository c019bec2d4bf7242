#include "BindingFixture.h"

#include "tests/common/CommaDecimalLocale.h"
#include "tests/common/QtPrinters.h"

namespace {

const QString numbersPage = QStringLiteral(R"(<html><head><title>Numbers</title><script>
function half(x) { return x / 2; }
function fractions() { return [0.25, 1e-3, -3.5]; }
var view = { zoom: 1.75 };
</script></head><body>numbers</body></html>)");

// Decimals a page returns, and decimals sent to it, keep their value when the
// process runs under a locale whose decimal mark is a comma.
TEST_F(BindingTest, DecimalsCrossBothWaysUnderACommaLocale) {
    const CommaDecimalLocale comma;
    ASSERT_TRUE(comma.active()) << "fr_FR.UTF-8 is not installed";
    ASSERT_TRUE(bind());

    // Without a document, calls run as script text and come back as JSON text.
    EXPECT_EQ(browser->jsRun("Math.max", {Variant(1.5), Variant(2.5)}), Variant(2.5));

    ASSERT_TRUE(open("n.html", numbersPage));
    EXPECT_EQ(browser->jsRun("half", {Variant(0.5)}), Variant(0.25));
    const Variant list = browser->jsRun("fractions");
    ASSERT_TRUE(list.isArray()) << list.toString().toStdString();
    EXPECT_EQ(list.toArray().items, (QList<Variant>{Variant(0.25), Variant(0.001), Variant(-3.5)}));
    EXPECT_EQ(browser->jsProp("view.zoom"), Variant(1.75));
    EXPECT_EQ(browser->jsLastError(), QString());
}

} // namespace
