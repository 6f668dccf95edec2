// The runtime log outlives the static objects of the process: a line
// written while the process ends (a static launcher ending its attached
// child, say) still reaches the log file.
#include <cstdlib>

#include "core_test_support.h"
#include "orbs_runtime.h"

namespace {

TEST(RuntimeLog, LinesWrittenWhileTheProcessEndsArrive) {
    // The child is forked: it writes into this test's folder.  Run alone
    // (as CTest runs it), the process has not made the log's routing yet.
    GTEST_FLAG_SET(death_test_style, "fast");
    const TempDir dir;
    setenv("ORBISCAN_RUNTIME_LOG_DIR", dir.str().c_str(), 1);
    EXPECT_EXIT(
        {
            // Registered before the routing exists, so run after the static
            // objects made with it are destroyed.
            std::atexit([] { OrbsLog::write("written at exit"); });
            OrbsLog::logToTerminal(false);
            OrbsLog::write("written before");
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    unsetenv("ORBISCAN_RUNTIME_LOG_DIR");
    EXPECT_EQ(orbs_test::readFile(dir.path() / "orbs_runtime.log"),
              "[runtime] written before\n[runtime] written at exit\n");
}

}  // namespace
