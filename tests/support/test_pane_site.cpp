#include "support/test_pane_site.h"

#include <QApplication>

namespace pixmill::test {

void EnsureApplication() {
    static int argc = 1;
    static char name[] = "pixmill_tests";
    static char* argv[] = {name, nullptr};
    // Never destroyed: destroying it from an exit handler would come after
    // parts of Qt it owns objects of (input devices the test kit creates)
    // are already gone. The pointer keeps it reachable for leak checks.
    static QApplication* const application = new QApplication(argc, argv);
    (void)application;
}

} // namespace pixmill::test
