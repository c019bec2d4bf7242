#include "platform/Environment.h"
#include "platform/BrowserRuntime.h"
#include "platform/Guid.h"
#include "tests/common/TempEnvironment.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using testing_support::TempEnvironment;

TEST(Environment, WindowsVariablesWinOverXdgFolders) {
    TempEnvironment environment;
    const QString local = environment.setFolder("LOCALAPPDATA", "local");
    const QString common = environment.setFolder("ALLUSERSPROFILE", "common");
    const QString temp = environment.setFolder("TEMP", "temp");
    EXPECT_EQ(env::localAppData(), local);
    EXPECT_EQ(env::allUsersProfile(), common);
    EXPECT_EQ(env::tempFolder(), temp);

    environment.unset("LOCALAPPDATA");
    const QString xdg = environment.setFolder("XDG_DATA_HOME", "xdg");
    EXPECT_EQ(env::localAppData(), xdg);
    environment.unset("ALLUSERSPROFILE");
    EXPECT_EQ(env::allUsersProfile(), QStringLiteral("/var/lib"));
    environment.unset("TEMP");
    environment.set("TMPDIR", "/tmp/x");
    EXPECT_EQ(env::tempFolder(), QStringLiteral("/tmp/x"));
}

TEST(Environment, LocaleIdentifierComesFromTheLocaleVariables) {
    struct Case {
        const char* lcAll;
        const char* lang;
        std::uint32_t lcid;
    };
    const Case cases[] = {
        {"", "fr_CA.UTF-8", 3084},
        {"", "fr_FR.UTF-8", 1036},
        {"de_AT.UTF-8", "fr_FR", 3079},
        {"", "en_GB.UTF-8", 2057},
        {"", "pt_BR", 1046},
        {"", "be_BY.UTF-8", 1059},
        {"", "cy_GB.UTF-8", 1106},
        {"", "C.UTF-8", 1033},
        {"", "POSIX", 1033},
        {"", "", 1033},
        {"", "xx_YY.UTF-8", 1033},
        {"", "sr_RS@latin", 2074},
        {"", "fr_SN.UTF-8", 1036}, // a region the table lacks falls back to the language
    };
    for (const auto& c : cases) {
        TempEnvironment environment;
        environment.unset("LC_MESSAGES");
        environment.set("LC_ALL", c.lcAll);
        environment.set("LANG", c.lang);
        EXPECT_EQ(env::userDefaultLcid(), c.lcid) << c.lcAll << " " << c.lang;
    }
}

TEST(Guid, TextFormAndParsing) {
    const Guid guid = Guid::createRandom();
    const QString text = guid.toString();
    EXPECT_EQ(text.size(), 38);
    EXPECT_TRUE(text.startsWith('{') && text.endsWith('}'));
    EXPECT_EQ(text, text.toUpper());
    EXPECT_EQ(text.at(15), QLatin1Char('4')); // version 4
    EXPECT_EQ(Guid::fromString(text), guid);
    EXPECT_EQ(Guid::fromString(guid.toString(false)), guid);
    EXPECT_EQ(guid.toString(false).size(), 36);
    EXPECT_FALSE(Guid::fromString("{0000-bad}").has_value());
    EXPECT_FALSE(Guid::fromString("{00000000-0000-0000-0000-000000000000").has_value());
    const Guid fixed = *Guid::fromString("{0000000a-000b-000c-0d0e-0f1011121314}");
    EXPECT_EQ(fixed.toString(), QStringLiteral("{0000000A-000B-000C-0D0E-0F1011121314}"));

    QSet<QString> seen;
    for (int i = 0; i < 100; ++i)
        seen.insert(Guid::createRandom().toString());
    EXPECT_EQ(seen.size(), 100);
    const Guid first = Guid::createSequential();
    const Guid second = Guid::createSequential();
    EXPECT_EQ(second.data1, first.data1 + 1);
}

TEST(BrowserRuntime, AFolderIsARuntimeWhenItHoldsTheProcessFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_FALSE(browserruntime::isRuntimeFolder(dir.path()));
    // A folder of that name is not the executable.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("QtWebEngineProcess")));
    EXPECT_FALSE(browserruntime::isRuntimeFolder(dir.path()));
    QTemporaryDir runtime;
    QFile executable(browserruntime::executableIn(runtime.path()));
    ASSERT_TRUE(executable.open(QIODevice::WriteOnly));
    executable.close();
    EXPECT_EQ(executable.fileName(), runtime.path() + QStringLiteral("/QtWebEngineProcess"));
    EXPECT_TRUE(browserruntime::isRuntimeFolder(runtime.path()));
    EXPECT_FALSE(browserruntime::isRuntimeFolder(QString()));
}

} // namespace
