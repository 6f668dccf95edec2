// The progress (work) file protocol.
#include "core_test_support.h"

namespace orbs_test {
namespace {

using NORBS_ERROR_MANAGER::setProgressBar;

class ProgressFile : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        loadDefaultEnvironment();
        progress = work() / "Process.working";
    }
    std::string content() const { return readFile(progress); }
    fs::path progress;
};

TEST_F(ProgressFile, WritesPercentAndStep) {
    writeFile(work() / "Process.working_batch_ok", "");
    EXPECT_EQ(setProgressBar(10, "Spawning ...", true, true), 1);
    EXPECT_EQ(content(), "10\nSpawning ...\n");
    EXPECT_FALSE(fs::exists(work() / "Process.working_batch_ok"));
    EXPECT_EQ(NorvikCore::get_actual_step(), "Spawning ...");

    // Without a step text the previous one stays.
    EXPECT_EQ(setProgressBar(20, nullptr, false, true), 1);
    EXPECT_EQ(content(), "20\nSpawning ...\n");

    fs::remove(progress);
    EXPECT_EQ(setProgressBar(60, "recreated", false, true), 1);
    EXPECT_EQ(content(), "60\nrecreated\n");
    // A directory in the way can be neither opened nor recreated: the
    // update is given up without failing the run.
    fs::remove(progress);
    fs::create_directories(progress);
    EXPECT_EQ(setProgressBar(70, "blocked", true, true), 1);
    EXPECT_TRUE(fs::is_directory(progress));
}

TEST_F(ProgressFile, SamePercentNegativeAndAboveHundred) {
    setProgressBar(30, "a", false, true);
    writeFile(progress, "30\nedited by hand\n");
    EXPECT_EQ(setProgressBar(30, "b", false, true), 1);
    EXPECT_EQ(content(), "30\nedited by hand\n");
    EXPECT_EQ(setProgressBar(30, "b", true, true), 1);
    EXPECT_EQ(content(), "30\nb\n");

    EXPECT_EQ(setProgressBar(-5, "negative", false, true), 1);
    EXPECT_EQ(content(), "0\nnegative\n");
    EXPECT_EQ(setProgressBar(101, "ignored", true, true), 1);
    EXPECT_EQ(content(), "0\nnegative\n");
}

// "101" in the file asks the run to stop.
TEST_F(ProgressFile, StopRequestWithAndWithoutRaising) {
    writeFile(progress, "101\nstop please\n");
    EXPECT_EQ(setProgressBar(40, "step", true, false), 0);
    EXPECT_EQ(content(), "101\nstop please\n");
    EXPECT_EQ(raisedBy([] { setProgressBar(50, "step", true, true); }),
              "50000@orbiscan_utility/tools_library/orbs_errors:1901:");
}

}  // namespace
}  // namespace orbs_test
