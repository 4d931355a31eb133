#include "support/test_pane_site.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <memory>

namespace pixmill::test {

namespace {

// Owns the application and destroys it when the test run ends, while all of
// Qt is still there: destroyed from an exit handler it would come after parts
// of Qt whose objects it owns (input devices the test kit creates), and never
// destroyed it would leave allocations behind for the leak checker.
class ApplicationEnvironment : public testing::Environment {
  public:
    void TearDown() override { application.reset(); }
    std::unique_ptr<QApplication> application;
};

} // namespace

void EnsureApplication() {
    if (QCoreApplication::instance() != nullptr) {
        return;
    }
    static int argc = 1;
    static char name[] = "pixmill_tests";
    static char* argv[] = {name, nullptr};
    static ApplicationEnvironment* environment = nullptr;
    if (environment == nullptr) {
        environment = new ApplicationEnvironment; // owned by googletest
        testing::AddGlobalTestEnvironment(environment);
    }
    environment->application = std::make_unique<QApplication>(argc, argv);
}

} // namespace pixmill::test
