// The installed executable: command line, set-up failures and the reports
// of a failed run (their layout: the unit tests).
#include "e2e_support.h"

namespace e2e {
namespace {
using Dispatch = Installation;

// No command: 255; an unknown one: 115; silently, nothing set up.
TEST_F(Dispatch, NoOrUnknownCommandExitsSilentlyWithoutSetUp) {
    const std::vector<std::pair<std::vector<std::string>, int>> cases = {
        {{}, 255}, {{"main_scihub_get"}, 115}, {{"main_scihub_gets#x"}, 115},
        {{"main_sentinel_auxiliarie#x"}, 115}, {{"MAIN_SCIHUB_GET#x"}, 115}, {{"#x"}, 115}};
    for (const auto& [args, status] : cases) {
        const RunResult r = run(args);
        EXPECT_EQ(r.status, status) << (args.empty() ? "" : args[0]);
        EXPECT_EQ(r.out + r.err, "");
    }
    EXPECT_TRUE(fs::is_empty(work()));
}

// The unknown command leaves the process from outside its exception
// handler: nothing of the exception is left at exit.
TEST_F(Dispatch, UnknownCommandLeavesNothingAllocated) {
#ifdef ORBS_SANITIZED
    GTEST_SKIP() << "a sanitized build does not run under valgrind";
#endif
    if (!fs::exists("/usr/bin/valgrind")) GTEST_SKIP() << "valgrind is not installed";
    wrapper = {"/usr/bin/valgrind", "-q", "--leak-check=full", "--error-exitcode=9"};
    const RunResult r = run({"main_unknown#x"});
    EXPECT_EQ(r.status, 115) << r.err;
    EXPECT_EQ(r.err, "");
}

TEST_F(Dispatch, OverlongCommandStringIsRefused) {
    const std::string fits = "main_unknown#" + std::string(5999 - 13, 'p');
    EXPECT_EQ(run({fits}).err, "");
    const RunResult r = run({fits + "p"});
    EXPECT_EQ(r.status, 115);
    EXPECT_NE(r.err.find("6000 characters refused: the limit is 5999 characters"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::is_empty(work()));
}

// The command as the trace names it; the trace and the log archived by tar.
TEST_F(Dispatch, FailedRunIsTracedAndArchived) {
    const std::string parameters = (scratch() / "missing params.sml").string();
    const RunResult r = run({"main_sentinel_auxiliaries#" + parameters + "###Orbiscan###whatever"});
    EXPECT_EQ(r.status, 40002 & 0xFF);
    EXPECT_NE(r.err.find(parameters), std::string::npos);
    EXPECT_EQ(readLines(work() / "Process.working_error").at(1), "File not found [EC : 40002]");

    const std::string text = trace();
    for (const std::string& line : {"COMMAND RECEIVED: main_sentinel_auxiliaries#" + parameters,
                                    std::string("SUB PROCESS:      main_sentinel_auxiliaries#"), "PARAMS FILE:      " + parameters})
        EXPECT_NE(text.find(line + "\n"), std::string::npos) << line;
    EXPECT_EQ(text.find("###Orbiscan###"), std::string::npos);

    fs::path archive;
    for (const auto& entry : fs::directory_iterator(work()))
        if (entry.path().filename().string().ends_with("error.tgz")) archive = entry.path();
    ASSERT_FALSE(archive.empty());
    const fs::path listing = scratch() / "listing.txt";
    ASSERT_EQ(std::system(("tar -tzf '" + archive.string() + "' > '" + listing.string() + "'").c_str()), 0);
    for (const char* name : {"work/Process.trace", "work/Process.log"})
        EXPECT_NE(readFile(listing).find(name), std::string::npos) << name;
}

TEST_F(Dispatch, MissingWorkingDirectoryStillEndsWithTheCode) {
    // Not even the command's flattened description can be written there:
    // the failed write is reported, not the user's file.
    const std::string parameters = (fs::path(ORBS_SOURCE_DIR) / "examples" / "sentinel_auxiliaries.sml").string();
    env["ORBISCAN_WORKING_DIR"] = (scratch() / "does" / "not" / "exist").string();
    const RunResult r = run({"main_sentinel_auxiliaries#" + parameters});
    EXPECT_EQ(r.status, 40004 & 0xFF);
    EXPECT_NE(r.err.find("PARAMETERS_INFO_SENTINEL_AUXILIARIES_CMD.xsd: No such file or directory"), std::string::npos)
        << r.err;
}
}  // namespace
}  // namespace e2e
