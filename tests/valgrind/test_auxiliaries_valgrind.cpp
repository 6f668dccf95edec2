// The auxiliary files command of the installed executable under valgrind:
// runs through the terminal, without one, and failing runs end without a
// memory error and without a definite leak.
#include "auxiliaries_fixture.h"
#include "private_x_server.h"

namespace e2e {
namespace {

class UnderValgrind : public Auxiliaries {
protected:
    void SetUp() override {
        Auxiliaries::SetUp();
#ifdef ORBS_SANITIZED
        GTEST_SKIP() << "a sanitized build does not run under valgrind";
#endif
        if (!fs::exists("/usr/bin/valgrind")) GTEST_SKIP() << "valgrind is not installed";
        report = scratch() / "valgrind.log";
        wrapper = {"/usr/bin/valgrind", "--leak-check=full", "--errors-for-leak-kinds=definite",
                   "--error-exitcode=9", "--child-silent-after-fork=yes", "--log-file=" + report.string()};
        timeoutSeconds = 300;
    }

    // The exit status of a run whose valgrind report, on the service itself,
    // is clean (a definite leak counts as an error).
    int checked(const RunResult& r) {
        const std::string log = readFile(report);
        EXPECT_NE(log.find("Command: " + (root() / "bin" / "sentinel_services").string()), std::string::npos) << log;
        EXPECT_NE(log.find("ERROR SUMMARY: 0 errors"), std::string::npos) << log;
        return r.status;
    }

    int runWith(const std::string& method, const std::string& wait) {
        writeParameters(output.string(), method, wait);
        return checked(runCommand());
    }

    fs::path report;
};

TEST_F(UnderValgrind, TerminalPath) {
    if (!PrivateXServer::start()) GTEST_SKIP() << "no xterm or no Xvfb to run a terminal";
    EXPECT_EQ(runWith("full_download", "OK"), 0);
    EXPECT_EQ(runWith("other", "NotOK"), 0);
}

TEST_F(UnderValgrind, NoTerminalPath) {
    if (!canHideUsrBin()) GTEST_SKIP() << "cannot hide /usr/bin/xterm on this machine";
    withoutUsrBin = true;
    EXPECT_EQ(runWith("full_download", "OK"), 0);
}

// The failures leave through the closing routine and exit(): what they
// allocated is still reachable, never lost.
TEST_F(UnderValgrind, FailedRuns) {
    fs::remove(root() / "bin" / "AuxFetch");
    EXPECT_EQ(runWith("full_download", "OK"), kStatusSpawnFailed);
    writeFile(parameters, "<not xml");
    EXPECT_EQ(checked(runCommand()), 40021 & 0xFF);
}

}  // namespace
}  // namespace e2e
