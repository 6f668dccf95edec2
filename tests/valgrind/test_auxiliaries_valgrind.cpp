// The auxiliary files command under valgrind: runs through the terminal,
// without one, and failing ones.
#include "valgrind_support.h"

namespace e2e {
namespace {
class UnderValgrind : public valgrind_runs::UnderValgrindOf<Auxiliaries> {
protected:
    int runWith(const std::string& method, const std::string& wait) {
        writeParameters(output.string(), method, wait);
        return checked(runCommand());
    }
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
    EXPECT_EQ(runWith("full_download", "OK"), kStatusDownloaderFailed);
    writeFile(parameters, "<not xml");
    EXPECT_EQ(checked(runCommand()), 40021 & 0xFF);
}
}  // namespace
}  // namespace e2e
