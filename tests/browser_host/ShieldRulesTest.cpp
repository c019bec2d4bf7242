// The shield's rules: the reference text a request must contain, the
// exception bits, and the filter list's text.

#include "browser_host/ShieldRules.h"

#include "tests/common/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

TEST(ShieldRules, ReferenceTextComesFromThePageHost) {
    struct Row {
        const char* address;
        int level;
        const char* reference;
    };
    const Row rows[] = {
        {"https://www.example.co.uk/a/b.html", 1, "co"},
        {"https://www.example.co.uk/a/b.html", 2, "co.uk"},
        {"https://www.example.co.uk/a/b.html", 3, "www.example.co.uk"},
        {"http://news.example.org:8080/", 2, "example.org:8080"},
        {"http:\\\\intranet\\page", 1, "intranet"},
        {"http://intranet/page", 2, "intranet"},
        {"about:blank", 1, ""},
        {"", 3, ""},
    };
    for (const Row& row : rows)
        EXPECT_EQ(shield::referenceText(row.address, row.level), row.reference)
            << row.address << " level " << row.level;
}

TEST(ShieldRules, ExceptionsLetTheirKindThroughAndAnUnknownSiteNothingElse) {
    const QString page = "https://www.example.org/";
    EXPECT_EQ(shield::permit(2, 0, page, "https://cdn.example.org/x.js", 6), shield::Allow);
    EXPECT_EQ(shield::permit(2, 0, page, "https://ads.net/x.js", 6), shield::Block);
    EXPECT_EQ(shield::permit(2, 16, page, "https://ads.net/x.js", 6), shield::Allow);
    EXPECT_EQ(shield::permit(2, 16, page, "https://ads.net/x.png", 3), shield::Block);
    const int bits[][2] = {{1, 1}, {3, 2}, {4, 4}, {5, 8}, {6, 16}, {2, 0}, {7, 0}, {16, 0}};
    for (const auto& [context, bit] : bits)
        EXPECT_EQ(shield::exceptionBit(context), bit) << context;
    // With the page's address unknown, only the exceptions pass.
    EXPECT_EQ(shield::permit(3, 0, "", "https://anything/", 1), shield::Block);
    EXPECT_EQ(shield::permit(3, 1, "", "https://anything/", 1), shield::Allow);
}

TEST(ShieldRules, FilterListKeepsEachPairOnceInOrder) {
    shield::FilterList list;
    EXPECT_TRUE(list.add({"*", 0}));
    EXPECT_FALSE(list.add({"*", 0}));
    EXPECT_TRUE(list.add({"*", 3}));
    EXPECT_TRUE(list.add({"*.js", 6}));
    EXPECT_EQ(list.text(), "*|0|*|3|*.js|6");
    EXPECT_EQ(list.removeFirst("*"), (shield::FilterList::Filter{"*", 0}));
    EXPECT_EQ(list.text(), "*|3|*.js|6");
    EXPECT_FALSE(list.removeFirst("none").has_value());
    EXPECT_EQ(list.takeAll().size(), 2);
    EXPECT_EQ(list.text(), "");
}

} // namespace
