// Launcher tests: exit codes, pids and command-text splitting, directly and
// through a real terminal on a private X server.  That no shell runs is
// checked end to end (ScihubGet.HostileValuesReachHubFetchLiterally).
#include "orbs_subproc.h"
#include "private_x_server.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <memory>
#include <thread>

#include <unistd.h>

namespace fs = std::filesystem;
using Words = std::vector<std::string>;

namespace {

const std::string kDouble = ORBS_EXIT_DOUBLE;
const std::string kXterm = "/usr/bin/xterm";

std::string inQuotes(const std::string& value) { return "\"" + value + "\""; }

// Configured as the commands configure it.
std::unique_ptr<OrbsSubproc> commandLauncher() {
    auto launcher = std::make_unique<OrbsSubproc>();
    launcher->setConsoleFlag(true);
    launcher->setAttachedFlag(false);
    launcher->setUnescapeFlag(true);
    return launcher;
}

// The commands' polling loop, at a test pace and with a bound.
bool runToEnd(OrbsSubproc& launcher) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (launcher.getPid() != 0) {
        if (!launcher.monitor() || std::chrono::steady_clock::now() > deadline) return false;
        if (launcher.getPid() != 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

}  // namespace

TEST(RuntimeCommandText, BlanksQuotesAndBackslashes) {
    Words words;
    ASSERT_TRUE(OrbsSubproc::splitCommandText("  a \t b  ", words));
    EXPECT_EQ(words, (Words{"a", "b"}));
    ASSERT_TRUE(OrbsSubproc::splitCommandText(R"("/opt/my tools/HubFetch" -c "" x"y z"w)", words));
    EXPECT_EQ(words, (Words{"/opt/my tools/HubFetch", "-c", "", "xy zw"}));
    ASSERT_TRUE(OrbsSubproc::splitCommandText(R"("productType:\"GRD\" AND x" \"a b\")", words));
    EXPECT_EQ(words, (Words{R"(productType:"GRD" AND x)", R"("a)", R"(b")"}));
    // Only a quote is escaped: other backslashes stay, doubled or not.
    ASSERT_TRUE(OrbsSubproc::splitCommandText(R"(C:\dir\f a\\b "x\n")", words));
    EXPECT_EQ(words, (Words{R"(C:\dir\f)", R"(a\\b)", R"(x\n)"}));
    EXPECT_FALSE(OrbsSubproc::splitCommandText(R"("/p/HubFetch -c x)", words));
    EXPECT_TRUE(words.empty());
    EXPECT_FALSE(OrbsSubproc::splitCommandText(R"(a "b\")", words));
}

TEST(RuntimeLauncher, DetachedChildKilledBySignalReportsNonZero) {
    auto launcher = commandLauncher();
    const int pid = launcher->spawn({kDouble + " --sleep-ms 20000"});
    ASSERT_GT(pid, 0);
    EXPECT_EQ(launcher->getPid(), pid);
    EXPECT_EQ(launcher->getExitCode(), 0) << "no failure is known while the child runs";
    EXPECT_EQ(::getsid(pid), pid) << "a detached child leads its own session";
    EXPECT_EQ(fs::read_symlink("/proc/" + std::to_string(pid) + "/fd/0"), "/dev/null");
    ::kill(pid, SIGKILL);
    ASSERT_TRUE(runToEnd(*launcher));
    EXPECT_EQ(launcher->getExitCode(), 128 + SIGKILL);
    EXPECT_EQ(::kill(pid, 0), -1) << "the child must have been reaped";
}

TEST(RuntimeLauncher, MissingProgramOrBrokenTextStartsNothing) {
    auto launcher = commandLauncher();
    EXPECT_EQ(launcher->spawn({"\"/nonexistent/dir/HubFetch\" -c \"/p/s.sml\""}), 0);
    EXPECT_EQ(launcher->spawn({"orbs-no-such-program-anywhere"}), 0);
    EXPECT_EQ(launcher->spawn({inQuotes(kDouble) + " \"unterminated"}), 0);
    EXPECT_EQ(launcher->spawn({}), 0);
    EXPECT_EQ(launcher->spawn({kXterm, "+hold", "-e", "\"/nonexistent/dir/AuxFetch\" -c x"}), 0);
    EXPECT_EQ(launcher->getPid(), 0);
    EXPECT_FALSE(launcher->monitor());
}

// Runs through the real terminal, on a private X server.
class RuntimeTerminal : public ::testing::Test {
protected:
    static void SetUpTestSuite() { PrivateXServer::start(); }
    static void TearDownTestSuite() { PrivateXServer::stop(); }
    void SetUp() override {
        if (!PrivateXServer::start()) GTEST_SKIP() << "no xterm or no Xvfb to run a terminal";
    }
    static Words inTerminal(const std::string& command, bool hold = true) {
        return hold ? Words{kXterm, "+hold", "-e", command} : Words{kXterm, "-e", command};
    }
};

TEST_F(RuntimeTerminal, DownloaderExitCodesReachGetExitCode) {
    const std::vector<std::pair<std::string, int>> cases = {
        {" --exit 0", 0}, {" --exit 1", 1}, {" --exit 3", 3}, {" --signal 9", 128 + SIGKILL}};
    for (const auto& [options, code] : cases) {
        auto launcher = commandLauncher();
        ASSERT_GT(launcher->spawn(inTerminal(inQuotes(kDouble) + options, code != 3)), 0) << options;
        ASSERT_TRUE(runToEnd(*launcher)) << options;
        EXPECT_EQ(launcher->getExitCode(), code) << options;
    }
}

TEST_F(RuntimeTerminal, ClosingTheTerminalStopsTheDownloaderAndFails) {
    const TempDir dir;
    const fs::path started = dir.path() / "started";
    auto launcher = commandLauncher();
    const int pid = launcher->spawn(inTerminal(inQuotes(kDouble) + " --record " + inQuotes(started.string()) +
                                               " --sleep-ms 30000"));
    ASSERT_GT(pid, 0);
    for (int i = 0; i < 2000 && !fs::exists(started); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(fs::exists(started));
    ::kill(pid, SIGKILL);  // the window goes away and hangs up its session
    ASSERT_TRUE(runToEnd(*launcher));
    EXPECT_EQ(launcher->getExitCode(), 128 + SIGHUP);
}
