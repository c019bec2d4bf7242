// Which requests a view reports with WebResourceRequested: the address patterns and resource
// contexts of its filters.
#include "platform/webview2/ResourceFilters.h"

#include <gtest/gtest.h>

namespace {

constexpr auto All = COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL;
constexpr auto Image = COREWEBVIEW2_WEB_RESOURCE_CONTEXT_IMAGE;
constexpr auto Script = COREWEBVIEW2_WEB_RESOURCE_CONTEXT_SCRIPT;

TEST(ResourceFiltersTest, AddressPatternsMatchWholeAddressesWithWildcardsOnly) {
    const struct {
        const char* pattern;
        const char* uri;
        bool matches;
    } cases[] = {
        {"*blocked.js", "http://host/lib/blocked.js", true},
        {"*blocked.js", "http://host/lib/blockedXjs", false}, // "." is no wildcard
        {"*blocked.js", "http://host/blocked.js?v=2", false}, // the whole address
        {"http://host/?.png", "http://host/a.png", true},
        {"http://host/?.png", "http://host/ab.png", false},
        {"http://host/a", "http://host/ab", false},
        {"HTTP://HOST/*.PNG", "http://host/x/y.png", true},
        {"http://host/a+b(c)[d]", "http://host/a+b(c)[d]", true},
        {"http://host/a+b(c)[d]", "http://host/aab(c)d", false},
        {"*", "file:///anything", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.pattern) + " ~ " + c.uri);
        ResourceFilters filters;
        ASSERT_EQ(filters.add(QLatin1String(c.pattern), All), hr::S_OK);
        EXPECT_EQ(filters.matches(QLatin1String(c.uri), Image), c.matches);
    }
}

TEST(ResourceFiltersTest, AFilterForOneContextLeavesTheOthersUnreported) {
    ResourceFilters filters;
    ASSERT_EQ(filters.add(QStringLiteral("*.png"), Image), hr::S_OK);
    EXPECT_TRUE(filters.matches(QStringLiteral("http://host/a.png"), Image));
    EXPECT_FALSE(filters.matches(QStringLiteral("http://host/a.png"), Script));
    EXPECT_EQ(filters.add(QStringLiteral("*"), static_cast<COREWEBVIEW2_WEB_RESOURCE_CONTEXT>(-1)),
              hr::E_INVALIDARG);
    EXPECT_EQ(filters.add(QStringLiteral("*"), static_cast<COREWEBVIEW2_WEB_RESOURCE_CONTEXT>(99)),
              hr::E_INVALIDARG);
    EXPECT_FALSE(filters.matches(QStringLiteral("http://host/a.js"), Script));
}

TEST(ResourceFiltersTest, RemovingTakesTheSameAddressAndContext) {
    ResourceFilters filters;
    ASSERT_EQ(filters.add(QStringLiteral("*.png"), Image), hr::S_OK);
    ASSERT_EQ(filters.add(QStringLiteral("*.png"), Image), hr::S_OK);
    ASSERT_EQ(filters.add(QStringLiteral("*.js"), All), hr::S_OK);
    EXPECT_EQ(filters.remove(QStringLiteral("*.png"), All), hr::E_INVALIDARG);
    EXPECT_EQ(filters.remove(QStringLiteral("*.PNG"), Image), hr::E_INVALIDARG);
    EXPECT_TRUE(filters.matches(QStringLiteral("http://host/a.png"), Image));
    // Both filters added with that address and context go.
    EXPECT_EQ(filters.remove(QStringLiteral("*.png"), Image), hr::S_OK);
    EXPECT_FALSE(filters.matches(QStringLiteral("http://host/a.png"), Image));
    EXPECT_EQ(filters.remove(QStringLiteral("*.png"), Image), hr::E_INVALIDARG);
    EXPECT_TRUE(filters.matches(QStringLiteral("http://host/a.js"), Script));
}

} // namespace
