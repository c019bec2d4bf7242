#include "platform/automation/RegistrationStore.h"
#include "support/ModIstream.h"
#include "support/modCompatFunctions.h"
#include "support/modGUID.h"
#include "support/modGetOSVersion.h"
#include "support/modRegistry.h"
#include "support/modSHFileOperation.h"
#include "support/modSpecialFolders.h"
#include "support/modURLManipulate.h"
#include "tests/common/TempEnvironment.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using testing_support::TempEnvironment;

TEST(Encoding, Base64OfUtf8Text) {
    struct Case {
        const char* text;
        const char* base64;
    };
    const Case cases[] = {{"", ""},
                          {"f", "Zg=="},
                          {"fo", "Zm8="},
                          {"foo", "Zm9v"},
                          {"\xC3\xA9t\xC3\xA9", "w6l0w6k="},
                          {"a\nb", "YQpi"}};
    for (const auto& c : cases) {
        EXPECT_EQ(encoding::base64Encode(QString::fromUtf8(c.text)), QString::fromLatin1(c.base64));
        EXPECT_EQ(encoding::base64Decode(QString::fromLatin1(c.base64)), QString::fromUtf8(c.text));
    }
    const QString longText(200, QLatin1Char('x'));
    EXPECT_FALSE(encoding::base64Encode(longText).contains('\n'));
    EXPECT_EQ(encoding::base64Decode("Zm9v\r\nYmFy"), QStringLiteral("foobar"));
    EXPECT_EQ(encoding::base64Decode("not base64!"), QString());
    EXPECT_EQ(encoding::fromUtf8(encoding::toUtf8(QString::fromUtf8("\xE2\x82\xAC"))),
              QString::fromUtf8("\xE2\x82\xAC"));
}

TEST(Encoding, TextStreamHoldsUtf8Bytes) {
    const auto stream = streams::textToStream(QString::fromUtf8("a=\xC3\xA9"));
    EXPECT_EQ(stream->readAll(), QByteArray("a=\xC3\xA9"));
}

TEST(Guid, TextForms) {
    static const QRegularExpression braced(
        "^\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}$");
    static const QRegularExpression bare(
        "^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$");
    EXPECT_TRUE(braced.match(guidtext::newGuid(true, true)).hasMatch());
    EXPECT_TRUE(bare.match(guidtext::newGuid(true, false)).hasMatch());
    EXPECT_TRUE(braced.match(guidtext::newGuid(false, true)).hasMatch());
    EXPECT_NE(guidtext::newGuid(), guidtext::newGuid());
}

TEST(Urls, SlashesAndLastDotPart) {
    EXPECT_EQ(urls::backslashesToSlashes("a\\b\\c.crx"), QStringLiteral("a/b/c.crx"));
    EXPECT_EQ(urls::lastDotPart("https://host/file.crx"), QStringLiteral("crx"));
    EXPECT_EQ(urls::lastDotPart("nodot"), QString());
}

TEST(ShellFiles, DeleteMoveAndRecycle) {
    QTemporaryDir dir;
    TempEnvironment environment;
    environment.setFolder("XDG_DATA_HOME", "data"); // the trash lives there
    QDir().mkpath(dir.filePath("tree/sub"));
    QFile file(dir.filePath("tree/sub/f.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_TRUE(shellfiles::movePath(dir.filePath("tree/sub/f.txt"), dir.filePath("moved.txt")));
    EXPECT_TRUE(QFile::exists(dir.filePath("moved.txt")));
    EXPECT_TRUE(shellfiles::deletePath(dir.filePath("tree")));
    EXPECT_FALSE(QFile::exists(dir.filePath("tree")));
    EXPECT_FALSE(shellfiles::deletePath(dir.filePath("tree"))); // nothing left to delete
    EXPECT_FALSE(shellfiles::deletePath(QString()));
    EXPECT_TRUE(shellfiles::recyclePath(dir.filePath("moved.txt")));
    EXPECT_FALSE(QFile::exists(dir.filePath("moved.txt")));
}

TEST(SpecialFolders, FoldersWithoutTrailingSeparator) {
    TempEnvironment environment;
    const QString local = environment.setFolder("LOCALAPPDATA", "local/");
    EXPECT_EQ(specialfolders::path(specialfolders::LocalAppData), QDir::cleanPath(local));
    EXPECT_FALSE(specialfolders::path(specialfolders::Pictures).isEmpty());
    EXPECT_FALSE(specialfolders::path(specialfolders::Pictures).endsWith('/'));
    EXPECT_EQ(specialfolders::path(12345), QString());
}

TEST(Registry, ReadsTheRegistrationStore) {
    TempEnvironment environment;
    environment.setFolder("XDG_CONFIG_HOME", "config");
    RegistrationStore().setValue("HKEY_CURRENT_USER\\Software\\Kest", "Folder", "/downloads");
    EXPECT_EQ(registry::readValue("HKEY_CURRENT_USER\\Software\\Kest", "Folder"),
              QStringLiteral("/downloads"));
    EXPECT_EQ(registry::readValue("Software\\Kest", "Folder"), QStringLiteral("Incorrect Format:"));
    EXPECT_EQ(registry::readValue("HKEY_NOWHERE\\Software\\Kest", "Folder"), QString());
    EXPECT_EQ(registry::readValue("HKEY_CURRENT_USER\\Software\\Kest", "Other"), QString());
}

TEST(OsVersion, BuildNumberIsDecimalText) {
    static const QRegularExpression digits("^\\d+(\\.\\d+)*$");
    EXPECT_TRUE(digits.match(osversion::buildNumber()).hasMatch())
        << osversion::buildNumber().toStdString();
}

} // namespace
