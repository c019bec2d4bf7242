#include "TestApp.h"

#include "TestTempRoot.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <memory>

namespace testing_support {

namespace {

std::unique_ptr<QApplication>& instance() {
    static std::unique_ptr<QApplication> application;
    return application;
}

// Qt must be torn down after the last test but before static destruction,
// when the objects it still refers to are gone.
class AppEnvironment : public ::testing::Environment {
public:
    void TearDown() override { instance().reset(); }
};

} // namespace

QApplication& app() {
    static int argc = 1;
    static char name[] = "kest-tests";
    static char* argv[] = {name, nullptr};
    if (!instance()) {
        // The process's temporary folder, made at start, is where the browser engine's
        // files go; naming it here also links it into every program that makes the app.
        tempRoot();
        instance() = std::make_unique<QApplication>(argc, argv);
        // gtest owns the environment it is handed.
        ::testing::AddGlobalTestEnvironment(new AppEnvironment);
    }
    return *instance();
}

} // namespace testing_support
