// The progress (work) file protocol, and the error and warning reports
// written beside the work file.  A progress file removed or replaced by a
// directory: Hostile.ProgressFileTamperedWithWhileWaiting.
#include "core_test_support.h"

namespace orbs_test {
namespace {

using NORBS_ERROR_MANAGER::formatErrorDetails;
using NORBS_ERROR_MANAGER::setProgressBar;
using NORBS_ERROR_MANAGER::writeErrorReport;

const std::string kBlanks(66, ' ');

class ErrorReport : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        loadDefaultEnvironment();
        NORBS_ERROR_MANAGER::loadErrorCatalogue(
            *NorvikCore::get_error_manager_ptr(),
            (install() / "auxiliary/description_files/orbs_errors_catalog.des").string(), true);
        progress = work() / "Process.working";
    }
    fs::path progress;
};

TEST(ErrorDetails, WrappingAndLimits) {
    const std::string text200(200, 'a');
    const auto lines = formatErrorDetails(40001, {text200.c_str()});
    ASSERT_EQ(lines.size(), 3u);
    for (const std::string& line : lines) EXPECT_EQ(line.size(), 48u);

    // No break when 5 characters or fewer would remain.
    const std::string text53(53, 'b');
    EXPECT_EQ(formatErrorDetails(40001, {text53.c_str()}), std::vector<std::string>{text53});
    const std::string text54(54, 'c');
    EXPECT_EQ(formatErrorDetails(40001, {text54.c_str()}),
              (std::vector<std::string>{std::string(48, 'c'), std::string(6, 'c')}));

    // "_hdr" shows as ".sml" for the file codes only (UnopenableWorkFileGoesToTmp).
    EXPECT_EQ(formatErrorDetails(40007, {"/data/img_hdr"}), std::vector<std::string>{"/data/img_hdr"});

    // Several texts share the three lines and the 144 characters.
    const std::string text100(100, 'd');
    const auto shared = formatErrorDetails(40001, {"first", text100.c_str(), "never"});
    EXPECT_EQ(shared, (std::vector<std::string>{"first", std::string(48, 'd'), std::string(52, 'd')}));
    EXPECT_TRUE(formatErrorDetails(40001, {nullptr, "after the end"}).empty());
    // An empty text (a raise with an empty parameter) is an empty line.
    EXPECT_EQ(formatErrorDetails(40001, {"", "next"}), (std::vector<std::string>{"", "next"}));
}

TEST_F(ErrorReport, ErrorFileAndWorkFileLayout) {
    writeFile(progress, "55\nDownloading ...\nold third line that is longer than what replaces it\n");
    writeErrorReport(260004, {"Error spawning AuxFetch"});
    const std::string message = "External program failed [EC : 260004]";
    EXPECT_EQ(readFile(work() / "Process.working_error"),
              "-1\n" + message + "\nError spawning AuxFetch\n" + kBlanks + "\n" + kBlanks + "\n");
    EXPECT_EQ(readFile(progress),
              "-1\nDownloading ...\n" + message + "\nError spawning AuxFetch\n" + kBlanks + "\n" + kBlanks + "\n");

    writeFile(progress, "5\nstep\n");
    writeErrorReport(10000, {});
    EXPECT_EQ(readLines(progress)[0], "-2");
}

TEST_F(ErrorReport, UnopenableWorkFileGoesToTmp) {
    fs::remove(progress);
    fs::create_directories(progress);
    writeErrorReport(40002, {"/in/file_hdr"});
    const auto lines = readLines(work() / "Process.working_tmp");
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "File not found [EC : 40002]");
    EXPECT_EQ(lines[1], "/in/file.sml");
}

TEST_F(ErrorReport, ReportBlockInTheLog) {
    NORBS_ERROR_MANAGER::fdfOpenOrbiscanTrace(false);
    NORBS_ERROR_MANAGER::fdfOpenOrbiscanLog();
    NorvikCore::set_software_version("V9");
    NorvikCore::set_actual_step("Reading");
    const CErrorExceptionManager e(70003, "source/x", 12, "param");
    e.writeReport("FINAL ERROR report");
    e.writeReport("");
    NorvikCore::get_process_trace_stream().close();
    NorvikCore::get_process_log_stream().close();

    const std::string tail = "* Error Line             : 12\n"
                             "* Error Code             : 70003\n"
                             "* Primary Error Code     : 7\n"
                             "* Primary Error Des      : Wrong processing parameters\n"
                             "* Secondary Error Code   : 2\n"
                             "* Secondary Error Des    : Command not found\n"
                             "* Error Parameter        : param\n\n" +
                             std::string(148, '*') + "\n\n";
    const std::string log = readFile(work() / "Process.log");
    EXPECT_NE(log.find("\n\n************* FINAL ERROR report\n\n* Software version       : V9\n"
                       "* Actual step           : Reading\n* Source File           : source/x\n" + tail),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("\n\n************* ERROR  \n\n* Software version"), std::string::npos);
}

TEST_F(ErrorReport, WarningBlock) {
    NorvikCore::set_actual_step("Checking");
    const std::string longText(250, 'w');
    NORBS_ERROR_MANAGER::issueWarning("source/y", 7, 40012, "%s", longText.c_str());
    const auto lines = readLines(work() / "Process.working_warning");
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[1].rfind("********* ", 0), 0u);
    EXPECT_EQ(lines[1].size(), 10u + 19u + 97u);
    EXPECT_EQ(lines[2], "WARNING : Checking");
    EXPECT_EQ(lines[3], " [SOURCE : source/y] [LINE : 7]");
    EXPECT_EQ(lines[4], " [EC : 40012] [Parameter file not found]");
    EXPECT_EQ(lines[5], " [" + std::string(80, 'w'));
    EXPECT_EQ(lines[7], std::string(80, 'w') + "]");
    EXPECT_EQ(lines[9], "Please see the log file for more details ! ");
}

using ProgressFile = ErrorReport;

TEST_F(ProgressFile, WritesPercentAndStep) {
    writeFile(work() / "Process.working_batch_ok", "");
    EXPECT_EQ(setProgressBar(10, "Spawning ...", true, true), 1);
    EXPECT_EQ(readFile(progress), "10\nSpawning ...\n");
    EXPECT_FALSE(fs::exists(work() / "Process.working_batch_ok"));
    EXPECT_EQ(NorvikCore::get_actual_step(), "Spawning ...");

    // Without a step text the previous one stays.
    EXPECT_EQ(setProgressBar(20, nullptr, false, true), 1);
    EXPECT_EQ(readFile(progress), "20\nSpawning ...\n");
}

TEST_F(ProgressFile, SamePercentNegativeAboveHundredAndStopRequest) {
    setProgressBar(30, "a", false, true);
    writeFile(progress, "30\nedited by hand\n");
    EXPECT_EQ(setProgressBar(30, "b", false, true), 1);
    EXPECT_EQ(readFile(progress), "30\nedited by hand\n");
    EXPECT_EQ(setProgressBar(30, "b", true, true), 1);
    EXPECT_EQ(readFile(progress), "30\nb\n");

    EXPECT_EQ(setProgressBar(-5, "negative", false, true), 1);
    EXPECT_EQ(readFile(progress), "0\nnegative\n");
    EXPECT_EQ(setProgressBar(101, "ignored", true, true), 1);
    EXPECT_EQ(readFile(progress), "0\nnegative\n");

    // "101" in the file asks the run to stop.
    writeFile(progress, "101\nstop please\n");
    EXPECT_EQ(setProgressBar(40, "step", true, false), 0);
    EXPECT_EQ(readFile(progress), "101\nstop please\n");  // raising 50000 instead: end to end
}

}  // namespace
}  // namespace orbs_test
