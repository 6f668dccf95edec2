// Command dispatch and the final report, run in a child process because
// every outcome but success ends the process.
#include <stdexcept>

#include "core_test_support.h"
#include "orbs_command_line.h"
#include "orbs_errors.h"

namespace orbs_test {
namespace {

int succeed(const char*) { return 0; }
int returnCode(const char*) { return 12345; }
int raiseCode(const char* parameters) {
    NORBS_ERROR_MANAGER::setProgressBar(10, "Working ...", true, true);
    NORBS_ERROR_MANAGER::raiseError(260004, "source/test_command", 77, parameters);
}
int throwOther(const char*) { throw std::runtime_error("boom"); }

SubProcessTable testTable() {
    return {{"ok#", true, true, true, succeed},
            {"code#", true, true, true, returnCode},
            {"raise#", true, true, true, raiseCode},
            {"throw#", true, true, true, throwOther}};
}

[[noreturn]] void runAndExit(const std::string& command) {
    std::string argument = command;
    char program[] = "sentinel_services";
    char* argv[] = {program, argument.data(), nullptr};
    std::exit(runCommandLine(2, argv, testTable()));
}

class Dispatch : public CoreTest {
protected:
    // The child is forked from the test ("fast" style) so that it shares
    // the temporary installation made by SetUp.
    void SetUp() override {
        CoreTest::SetUp();
        GTEST_FLAG_SET(death_test_style, "fast");
    }
    std::string trace() const { return readFile(work() / "Process.trace"); }
    std::string log() const { return readFile(work() / "Process.log"); }
};

// The parameters the handler gets and the removed progress file are
// checked end to end.
TEST_F(Dispatch, SuccessClosesTheRun) {
    EXPECT_EXIT(runAndExit("ok#" + (dir() / "params.sml").string()), ::testing::ExitedWithCode(0), "");
    const std::string t = trace();
    EXPECT_NE(t.find("\nEND : Orbiscan 5.5.2.1 L64 Mar  5 2020  -  "), std::string::npos) << t;
    EXPECT_EQ(t.substr(t.size() - 25), "Exit without exceptions \n");
    const std::string l = log();
    EXPECT_NE(l.find("\n\nSUCCESSFUL\n\n"), std::string::npos);
    EXPECT_NE(l.find(std::string(160, '*') + "\nEND : "), std::string::npos);
}

TEST_F(Dispatch, ClosingSavesTheTraceAndMovesALargeLogAside) {
    writeFile(work() / "Process.trace_save", "");
    writeFile(work() / "Process.log", std::string(1000001, 'l'));
    EXPECT_EXIT(runAndExit("ok#" + (dir() / "p").string()), ::testing::ExitedWithCode(0), "");
    int savedTraces = 0, movedLogs = 0;
    for (const auto& entry : fs::directory_iterator(work())) {
        const std::string name = entry.path().filename().string();
        savedTraces += name.size() == 27 && name.starts_with("Process") && name.ends_with(".trace");
        movedLogs += name.starts_with("Process_") && name.ends_with("_trace.txt");
    }
    EXPECT_EQ(savedTraces, 1);
    EXPECT_EQ(movedLogs, 1);
    EXPECT_FALSE(fs::exists(work() / "Process.log"));
}

TEST_F(Dispatch, NonZeroHandlerResultIsRaisedByTheEntry) {
    EXPECT_EXIT(runAndExit("code#x"), ::testing::ExitedWithCode(12345 & 0xFF), "");
    EXPECT_NE(trace().find("FILE=source/main_sentinel_services "), std::string::npos);
}

// The layout of the progress and error files: the ErrorReport tests; here
// the step in force and the detail reach the trace and the log.
TEST_F(Dispatch, RaisedErrorReportsEverywhere) {
    EXPECT_EXIT(runAndExit("raise#the detail"), ::testing::ExitedWithCode(260004 & 0xFF), "the detail");
    EXPECT_NE(trace().find("\nERROR : External program error [External program failed] (the detail) \n"
                           " Working ...   Orbiscan 5.5.2.1 L64 Mar  5 2020\n"
                           "    FILE=source/test_command   LINE=77  (errno = "),
              std::string::npos);
    EXPECT_NE(log().find("\n\n-Working ...   Orbiscan 5.5.2.1 L64 Mar  5 2020\n\nERROR : [ERROR ID : 260004]\n"
                         "  External program error [External program failed]\n  the detail \n\n"),
              std::string::npos);
}

TEST_F(Dispatch, OtherExceptionsEndWith140000) {
    EXPECT_EXIT(runAndExit("throw#x"), ::testing::ExitedWithCode(140000 & 0xFF), "");
    EXPECT_EQ(readLines(work() / "Process.working_error")[1], "Unexpected exception [EC : 140000]");
}

}  // namespace
}  // namespace orbs_test
