#include "test_host/PropertyStore.h"

#include "tests/common/QtPrinters.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class PropertyStoreTest : public ::testing::Test {
protected:
    QString path() const { return dir.filePath("settings/Test.ini"); }

    QTemporaryDir dir;
};

TEST_F(PropertyStoreTest, ValuesComeBackWithTheirTypes) {
    PropertyBag bag;
    bag.write("BackColor", Variant(std::int32_t(0x8000000F)));
    bag.write("Enabled", Variant(false));
    bag.write("BorderStyle", Variant(std::int16_t(1)));
    bag.write("SideBarVisible", Variant(true));
    bag.write("Language", Variant(QStringLiteral("fr: colon, comma; and = sign")));
    bag.write("Empty", Variant(QString()));
    PropertyStore(path(), "KestDicomViewAX1").write(bag);

    const PropertyBag read = PropertyStore(path(), "KestDicomViewAX1").read();
    EXPECT_EQ(read.count(), bag.count());
    for (const QString& key : bag.keys()) {
        SCOPED_TRACE(key.toStdString());
        EXPECT_EQ(read.read(key), bag.read(key));
    }
}

TEST_F(PropertyStoreTest, WritingReplacesTheWholeSectionAndLeavesOthers) {
    PropertyStore other(path(), "Other");
    PropertyBag kept;
    kept.write("Language", Variant(QStringLiteral("de")));
    other.write(kept);

    PropertyStore store(path(), "KestDicomViewAX1");
    PropertyBag first;
    first.write("InvertOnLoad", Variant(true));
    first.write("Language", Variant(QStringLiteral("fr")));
    store.write(first);
    PropertyBag second;
    second.write("Language", Variant(QStringLiteral("en")));
    store.write(second);

    const PropertyBag read = store.read();
    EXPECT_EQ(read.keys(), QStringList{"Language"});
    EXPECT_EQ(read.read("Language"), Variant(QStringLiteral("en")));
    EXPECT_EQ(other.read().read("Language"), Variant(QStringLiteral("de")));
}

TEST_F(PropertyStoreTest, AnEmptySetIsSavedAndNoFileIsNone) {
    PropertyStore store(path(), "KestDicomViewAX1");
    EXPECT_FALSE(store.exists());
    EXPECT_EQ(store.read().count(), 0);
    store.write(PropertyBag());
    EXPECT_TRUE(store.exists());
    EXPECT_EQ(store.read().count(), 0);
}

// An entry edited by hand into something that does not decode is left out, so the control
// takes its default for it instead of failing to load.
TEST_F(PropertyStoreTest, EntriesThatDoNotDecodeAreLeftOut) {
    {
        QSettings settings(path(), QSettings::IniFormat);
        settings.setValue("KestDicomViewAX1/Saved", true);
        settings.setValue("KestDicomViewAX1/Enabled", "11:maybe");
        settings.setValue("KestDicomViewAX1/BorderStyle", "no type");
        settings.setValue("KestDicomViewAX1/Language", "8:fr");
    }
    const PropertyBag read = PropertyStore(path(), "KestDicomViewAX1").read();
    EXPECT_EQ(read.keys(), QStringList{"Language"});
}

} // namespace
