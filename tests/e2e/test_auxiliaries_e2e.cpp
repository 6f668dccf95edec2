// The auxiliary files command run by the installed executable, with a test
// double in place of the downloader AuxFetch.

#include "auxiliaries_fixture.h"

namespace e2e {
namespace {

class AuxiliariesWithoutTerminal : public Auxiliaries {
protected:
    void SetUp() override {
        Auxiliaries::SetUp();
        if (!canHideUsrBin()) GTEST_SKIP() << "cannot hide /usr/bin/xterm on this machine";
        withoutUsrBin = true;
    }
};

TEST_F(AuxiliariesWithoutTerminal, WaitsForTheDownloaderStartedDirectly) {
    env["ORBS_DOUBLE_AWAIT"] = "50";
    writeParameters(output.string(), "full_download", "OK");
    const RunResult r = runCommand();
    EXPECT_EQ(r.status, 0) << r.err;
    // The arguments: the e2e QuotesNeverBecomeArguments.  While the
    // downloader ran, the progress file told the user interface.
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
            const RunResult r = runCommand();
            EXPECT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(received(), join({"-i", "-c", parameters.string()}, folderArguments(output.string())))
                << "method '" << method << "' wait " << wait;
        }
    }
}

TEST_F(AuxiliariesWithoutTerminal, MissingDownloaderFailsWith260004) {
    fs::remove(root() / "bin" / "AuxFetch");
    writeParameters(output.string(), "full_download", "OK");
    const RunResult r = runCommand();
    EXPECT_EQ(r.status, kStatusSpawnFailed);
    const std::vector<std::string> error = readLines(work() / "Process.working_error");
    ASSERT_GE(error.size(), 3u);
    EXPECT_EQ(error[1], "External program failed [EC : 260004]");
    EXPECT_EQ(error[2], "Error spawning AuxFetch");
    EXPECT_EQ(readLines(work() / "Process.working")[1], "Spawning AuxFetch ...");
}

// Bad parameter files end with the documented code, a readable report, and
// the user's file untouched (an unreadable one: also the e2e hostile tests).
TEST_F(Auxiliaries, BadParameterFiles) {
    writeParameters(output.string(), "full_download", "OK");
    const std::string good = readFile(parameters);
    auto without = [&good](const std::string& from, const std::string& to) {
        std::string text = good;
        text.erase(text.find(from), text.find(to) + to.size() - text.find(from));
        return text;
    };
    std::string wrongRoot = good;
    for (std::size_t at; (at = wrongRoot.find("PARAMETERS_INFO_SENTINEL_AUXILIARIES_CMD")) != std::string::npos;)
        wrongRoot.replace(at, 40, "OTHER_ROOT");

    const struct { std::string text; int code; std::string detail; } cases[] = {
        {"<not xml", 40021, parameters.string()},
        {wrongRoot, 40001, parameters.string()},
        {without("   <MAIN_SENTINEL_AUXILIARIES_CMD>", "</MAIN_SENTINEL_AUXILIARIES_CMD>\n"), 40001,
         parameters.string()},
        {without("      <output_folder>", "</output_folder>\n"), 130005, "output_folder"},
    };
    for (const auto& c : cases) {
        writeFile(parameters, c.text);
        const RunResult r = runCommand();
        EXPECT_EQ(r.status, c.code & 0xFF) << c.text;
        const std::vector<std::string> error = readLines(work() / "Process.working_error");
        ASSERT_GE(error.size(), 3u) << c.text;
        EXPECT_NE(error[1].find("[EC : " + std::to_string(c.code) + "]"), std::string::npos) << error[1];
        EXPECT_TRUE(c.detail.starts_with(error[2])) << error[2];
        EXPECT_EQ(readFile(parameters), c.text);
        EXPECT_FALSE(fs::exists(output));
    }
}

}  // namespace
}  // namespace e2e
