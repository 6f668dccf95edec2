// The installed executable: command line, set-up failures and the reports
// of a failed run.
#include <cstdlib>

#include "e2e_support.h"

namespace e2e {
namespace {

using Dispatch = Installation;

TEST_F(Dispatch, NoArgumentExits255Silently) {
    const RunResult r = run({});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(fs::is_empty(work()));
}

TEST_F(Dispatch, UnknownCommandExits115WithoutSetUp) {
    for (const char* command :
         {"main_scihub_get", "main_scihub_gets#x", "main_sentinel_auxiliarie#x", "MAIN_SCIHUB_GET#x", "#x"}) {
        const RunResult r = run({command});
        EXPECT_EQ(r.status, 115) << command;
        EXPECT_EQ(r.out, "") << command;
        EXPECT_EQ(r.err, "") << command;
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

// The report layout is checked by the unit tests; here the command as the
// trace names it, and the archive of the trace and the log made by tar.
TEST_F(Dispatch, FailedRunIsTracedAndArchived) {
    const std::string parameters = (scratch() / "missing params.sml").string();
    const RunResult r = run({"main_sentinel_auxiliaries#" + parameters + "###Orbiscan###whatever"});
    EXPECT_EQ(r.status, 40002 & 0xFF);
    EXPECT_NE(r.err.find(parameters), std::string::npos);
    EXPECT_EQ(readLines(work() / "Process.working_error").at(1), "File not found [EC : 40002]");

    const std::string trace = readFile(work() / "Process.trace");
    EXPECT_NE(trace.find("COMMAND RECEIVED: main_sentinel_auxiliaries#" + parameters + "\n"), std::string::npos);
    EXPECT_NE(trace.find("SUB PROCESS:      main_sentinel_auxiliaries#\n"), std::string::npos);
    EXPECT_NE(trace.find("PARAMS FILE:      " + parameters + "\n"), std::string::npos);
    EXPECT_EQ(trace.find("###Orbiscan###"), std::string::npos);

    fs::path archive;
    for (const auto& entry : fs::directory_iterator(work()))
        if (entry.path().filename().string().ends_with("error.tgz")) archive = entry.path();
    ASSERT_FALSE(archive.empty());
    const std::string listing = (scratch() / "listing.txt").string();
    ASSERT_EQ(std::system(("tar -tzf '" + archive.string() + "' > '" + listing + "'").c_str()), 0);
    const std::string names = readFile(listing);
    EXPECT_NE(names.find("work/Process.trace"), std::string::npos);
    EXPECT_NE(names.find("work/Process.log"), std::string::npos);
}

TEST_F(Dispatch, MissingWorkingDirectoryStillEndsWithTheCode) {
    // Nothing can be written there, not even the flattened description of
    // the command: the failed write is reported, not the user's file.
    const std::string parameters = (fs::path(ORBS_SOURCE_DIR) / "examples" / "sentinel_auxiliaries.sml").string();
    env["ORBISCAN_WORKING_DIR"] = (scratch() / "does" / "not" / "exist").string();
    const RunResult r = run({"main_sentinel_auxiliaries#" + parameters});
    EXPECT_EQ(r.status, 40004 & 0xFF);
    EXPECT_NE(r.err.find("PARAMETERS_INFO_SENTINEL_AUXILIARIES_CMD.xsd: No such file or directory"), std::string::npos)
        << r.err;
}

}  // namespace
}  // namespace e2e
