#include "platform/automation/AutomationError.h"
#include "platform/automation/ComServer.h"
#include "platform/automation/EventSource.h"
#include "platform/automation/ObjectFactory.h"
#include "tests/common/TempEnvironment.h"
#include "tests/common/TestApp.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <dlfcn.h>

namespace {

using testing_support::TempEnvironment;

const QString progId = QStringLiteral("KestTest.Calculator");
const QString serverPath = QStringLiteral(KEST_TEST_SERVER_PATH);

int errorNumberOf(const std::function<void()>& action, QString* description = nullptr) {
    try {
        action();
    } catch (const AutomationError& error) {
        if (description)
            *description = error.description();
        return error.number();
    }
    return 0;
}

// Each test registers the server in a store of its own.
class AutomationTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing_support::app();
        environment.setFolder("XDG_CONFIG_HOME", "config");
        ASSERT_EQ(automation::callServerEntryPoint(serverPath, "DllRegisterServer"), hr::S_OK);
    }

    DispatchPtr create() { return automation::createObject(progId); }

    TempEnvironment environment;
};

TEST_F(AutomationTest, RegistrationRecordsTheClassInTheUserStore) {
    const RegistrationStore store;
    EXPECT_TRUE(store.path().startsWith(environment.root()));
    const auto clsid = automation::clsidFromProgId(progId);
    ASSERT_TRUE(clsid.has_value());
    EXPECT_EQ(clsid->toString(), QStringLiteral("{6C0F7E2A-3B1D-4E5F-9A8B-1C2D3E4F5A6B}"));
    const QString key = QStringLiteral("HKEY_CLASSES_ROOT\\CLSID\\") + clsid->toString();
    EXPECT_EQ(store.value(key + "\\InprocServer32"), QFileInfo(serverPath).absoluteFilePath());
    EXPECT_EQ(store.value(key + "\\ProgID"), progId);
    EXPECT_TRUE(store.hasKey(key + "\\Control"));
    EXPECT_EQ(store.value(QStringLiteral("HKEY_CLASSES_ROOT\\TypeLib\\"
                                         "{6C0F7E2A-3B1D-4E5F-9A8B-1C2D3E4F5A6C}\\1.0")),
              QStringLiteral("KestTestLib"));
}

TEST_F(AutomationTest, MembersAreCalledByDispidAndByName) {
    const DispatchPtr calc = create();
    ASSERT_TRUE(calc);
    QList<Variant> args{Variant(2), Variant(3)};
    EXPECT_EQ(calc->invoke(0x60030001, InvokeFlags::Method, args), Variant(5));
    EXPECT_EQ(calc->call("aDD", {Variant(2), Variant(3)}), Variant(5)); // names ignore case
    EXPECT_EQ(calc->idOfName("name"), 0x68030005);
    calc->put("Name", Variant(QStringLiteral("abc")));
    EXPECT_EQ(calc->get("Name"), Variant(QStringLiteral("abc")));
    // Arguments are converted to their declared types.
    EXPECT_EQ(calc->call("Add", {Variant(QStringLiteral("40")), Variant(2.4)}), Variant(42));
}

TEST_F(AutomationTest, DeclaredDefaultsFillOmittedArguments) {
    const DispatchPtr calc = create();
    EXPECT_EQ(calc->call("Add", {Variant(1)}), Variant(11));
    EXPECT_EQ(calc->call("Add", {Variant(1), Variant::missing()}), Variant(11));
    EXPECT_EQ(calc->call("IsOmitted"), Variant(true));
    EXPECT_EQ(calc->call("IsOmitted", {Variant(0)}), Variant(false));
}

TEST_F(AutomationTest, ByReferenceArgumentsAreWrittenBack) {
    const DispatchPtr calc = create();
    QList<Variant> args{Variant(QStringLiteral("left")), Variant(7)};
    calc->invokeByName("Swap", InvokeFlags::Method, args);
    EXPECT_EQ(args[0], Variant(7));
    EXPECT_EQ(args[1], Variant(QStringLiteral("left")));
    // By-value arguments are not written back even when converted.
    QList<Variant> byValue{Variant(QStringLiteral("5")), Variant(1)};
    calc->invokeByName("Add", InvokeFlags::Method, byValue);
    EXPECT_EQ(byValue[0], Variant(QStringLiteral("5")));
}

TEST_F(AutomationTest, CallErrorsCarryTheirNumbers) {
    const DispatchPtr calc = create();
    QString description;
    EXPECT_EQ(
        errorNumberOf([&] { calc->call("Add", {Variant(QStringLiteral("abc"))}); }, &description),
        vberr::TypeMismatch);
    EXPECT_EQ(description, QStringLiteral("Type mismatch"));
    EXPECT_EQ(errorNumberOf([&] { calc->call("Add"); }), vberr::ArgumentNotOptional);
    EXPECT_EQ(errorNumberOf([&] {
                  calc->call("Add", {Variant(1), Variant(2), Variant(3)});
              }),
              vberr::WrongArgumentCount);
    EXPECT_EQ(errorNumberOf([&] { calc->call("Subtract"); }), vberr::NotSupported);
    EXPECT_EQ(errorNumberOf([&] { calc->put("Add", Variant(1)); }), vberr::WrongArgumentCount);
}

TEST_F(AutomationTest, EventsReachAttachedSinksWithByReferenceArguments) {
    const DispatchPtr calc = create();
    ASSERT_NE(calc->eventSource(), nullptr);
    QStringList received;
    const int cookie = calc->eventSource()->advise(std::make_shared<FunctionEventSink>(
        [&](DispId id, const QString& name, QList<Variant>& args) {
            received.append(QStringLiteral("%1:%2:%3").arg(id).arg(name, args[0].toString()));
            args[1] = Variant(args[1].toLong() + 41);
        }));
    EXPECT_EQ(calc->call("Fire", {Variant(QStringLiteral("hello"))}), Variant(42));
    EXPECT_EQ(received, QStringList{"1:Done:hello"});
    calc->eventSource()->unadvise(cookie);
    EXPECT_EQ(calc->call("Fire", {Variant(QStringLiteral("again"))}), Variant(1));
    EXPECT_EQ(received.size(), 1);
}

TEST_F(AutomationTest, LibraryCanUnloadOnlyWhenNoObjectLives) {
    using CanUnload = HRESULT (*)();
    void* library = dlopen(serverPath.toLocal8Bit().constData(), RTLD_NOW | RTLD_NOLOAD);
    DispatchPtr calc = create();
    if (!library)
        library = dlopen(serverPath.toLocal8Bit().constData(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(library, nullptr);
    auto canUnload = reinterpret_cast<CanUnload>(dlsym(library, "DllCanUnloadNow"));
    ASSERT_NE(canUnload, nullptr);
    EXPECT_EQ(canUnload(), hr::S_FALSE);
    calc.reset();
    EXPECT_EQ(canUnload(), hr::S_OK);
    dlclose(library);
}

TEST_F(AutomationTest, UnregisteredClassCannotBeCreated) {
    ASSERT_EQ(automation::callServerEntryPoint(serverPath, "DllUnregisterServer"), hr::S_OK);
    EXPECT_FALSE(RegistrationStore().hasKey(QStringLiteral("HKEY_CLASSES_ROOT\\") + progId));
    QString description;
    EXPECT_EQ(errorNumberOf([&] { create(); }, &description), vberr::CannotCreateObject);
    EXPECT_EQ(description, QStringLiteral("ActiveX component can't create object: "
                                          "\"KestTest.Calculator\" is not registered"));
}

TEST_F(AutomationTest, RegistrationToolRegistersAndUnregisters) {
    const QString tool = QStringLiteral(KEST_REGSVR_PATH);
    EXPECT_EQ(QProcess::execute(tool, {"/u", "/s", serverPath}), 0);
    EXPECT_FALSE(automation::clsidFromProgId(progId).has_value());
    EXPECT_EQ(QProcess::execute(tool, {"/s", serverPath}), 0);
    EXPECT_TRUE(automation::clsidFromProgId(progId).has_value());
    EXPECT_NE(QProcess::execute(tool, {"/s", environment.root() + "/missing.so"}), 0);
}

} // namespace
