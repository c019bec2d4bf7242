#include "platform/automation/ControlSite.h"
#include "platform/automation/Dispatch.h"
#include "platform/automation/ObjectFactory.h"
#include "tests/common/TempEnvironment.h"
#include "tests/common/TestApp.h"

#include <QWidget>

#include <gtest/gtest.h>

namespace {

class RecordingSite : public ControlSite {
public:
    AmbientProperties ambientProperties() const override {
        AmbientProperties ambient = ControlSite::ambientProperties();
        ambient.font = QFont(QStringLiteral("Ambient Sans"));
        ambient.localeId = 1036;
        return ambient;
    }
    void propertyChanged(const QString& name) override { changed.append(name); }

    QStringList changed;
};

TEST(PropertyBag, KeysIgnoreCaseAndKeepTheirOrder) {
    PropertyBag bag;
    bag.write("BackColor", Variant(std::int32_t(5)));
    bag.write("Language", Variant(QStringLiteral("fr")));
    bag.write("backcolor", Variant(std::int32_t(6)));
    EXPECT_EQ(bag.keys(), (QStringList{"BackColor", "Language"}));
    EXPECT_EQ(bag.read("BACKCOLOR"), Variant(std::int32_t(6)));
    EXPECT_EQ(bag.read("Missing", Variant(true)), Variant(true));
    EXPECT_TRUE(bag.read("Missing").isEmpty());
    bag.remove("language");
    EXPECT_EQ(bag.count(), 1);
}

TEST(ControlSite, ControlPersistsThroughTheBagAndNotifiesItsContainer) {
    testing_support::app();
    testing_support::TempEnvironment environment;
    environment.setFolder("XDG_CONFIG_HOME", "config");
    ASSERT_EQ(automation::callServerEntryPoint(QStringLiteral(KEST_TEST_SERVER_PATH),
                                               "DllRegisterServer"),
              hr::S_OK);
    const DispatchPtr object = automation::createObject(QStringLiteral("KestTest.Calculator"));
    Control* control = object->control();
    ASSERT_NE(control, nullptr);
    RecordingSite site;
    control->setControlSite(&site);

    control->initNew(); // a new control takes the container's ambient font
    EXPECT_EQ(object->get("Name"), Variant(QStringLiteral("Ambient Sans")));

    PropertyBag bag;
    control->load(bag); // an empty bag gives the defaults
    EXPECT_EQ(object->get("Name"), Variant(QStringLiteral("unnamed")));
    control->save(bag);
    EXPECT_EQ(bag.count(), 0); // a default value is not written

    object->put("Name", Variant(QStringLiteral("saved")));
    EXPECT_EQ(site.changed, QStringList{"Name"});
    control->save(bag);
    EXPECT_EQ(bag.read("Name"), Variant(QStringLiteral("saved")));

    QWidget container;
    control->widget()->setParent(&container);
    EXPECT_EQ(control->widget()->parentWidget(), &container);
    control->widget()->setParent(nullptr);
    control->setControlSite(nullptr);
}

} // namespace
