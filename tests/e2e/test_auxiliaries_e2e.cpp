// The auxiliary files command with AuxFetch started directly (no terminal):
// its arguments and progress, and its absence.  Bad parameter files: the
// hostile input tests.
#include "e2e_support.h"

namespace e2e {
namespace {
class AuxiliariesWithoutTerminal : public Auxiliaries {
protected:
    void SetUp() override {
        Auxiliaries::SetUp();
        if (!canHideUsrBin()) GTEST_SKIP() << "cannot hide /usr/bin/xterm on this machine";
        withoutUsrBin = true;
        writeParameters(output.string(), "full_download", "OK");
    }
};

TEST_F(AuxiliariesWithoutTerminal, WaitsForTheDownloaderStartedDirectly) {
    env["ORBS_DOUBLE_AWAIT"] = "50";
    const RunResult r = runCommand();
    EXPECT_EQ(r.status, 0) << r.err;
    // While the downloader ran, the progress file told the user interface.
    EXPECT_EQ(readFile(record.string() + ".progress"), "50\nDownloading (see AuxFetch terminal) ...\n");
    EXPECT_FALSE(fs::exists(work() / "Process.working"));
    const std::string command = "\"" + (root() / "bin" / "AuxFetch").string() + "\" -c \"" + parameters.string() +
                                "\" \"" + output.string() + "/AUX_INS\"";
    EXPECT_NE(trace().find("\nNO XTerm found command = '" + command), std::string::npos) << trace();
}

TEST_F(AuxiliariesWithoutTerminal, NeverPassesWaitOptionAndOnlyExactFullDownload) {
    for (const char* method : {"Full_download", "full_download ", "", "incremental"}) {
        for (const char* wait : {"OK", "NotOK"}) {
            fs::remove(record);
            writeParameters(output.string() + "/", method, wait);
            EXPECT_EQ(runCommand().status, 0);
            EXPECT_EQ(received(), join({"-i", "-c", parameters.string()}, folderArguments(output.string())))
                << "method '" << method << "' wait " << wait;
        }
    }
}

TEST_F(AuxiliariesWithoutTerminal, MissingDownloaderFailsWith260004) {
    fs::remove(root() / "bin" / "AuxFetch");
    EXPECT_EQ(runCommand().status, kStatusDownloaderFailed);
    const std::vector<std::string> error = readLines(work() / "Process.working_error");
    ASSERT_GE(error.size(), 3u);
    EXPECT_EQ(error[1], "External program failed [EC : 260004]");
    EXPECT_EQ(error[2], "Error spawning AuxFetch");
    EXPECT_EQ(readLines(work() / "Process.working")[1], "Spawning AuxFetch ...");
}
}  // namespace
}  // namespace e2e
