// Support for end-to-end tests: a private copy of the installation
// directory and a runner for the installed executable.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "test_files.h"

namespace e2e {

namespace fs = std::filesystem;

using test_files::readFile;
using test_files::readLines;
using test_files::writeFile;

struct RunResult {
    int status = -1;  // exit status, or 128 + signal
    std::string out;
    std::string err;
    long peakMemoryKb = 0;  // peak resident memory of the child
    double seconds = 0;     // wall time
};

// A fresh copy of the installation made by `cmake --install`, in a
// temporary directory removed at the end of the test.
class Installation : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs bin/sentinel_services with the given arguments.  The child gets
    // ORBISCAN_INIT_DIR = root(), no other ORBISCAN_* variable unless set
    // in env, and instant pauses.
    RunResult run(const std::vector<std::string>& args) const;

    fs::path root() const { return mRoot / "install"; }
    fs::path work() const { return root() / "work"; }
    fs::path scratch() const { return mRoot / "scratch"; }
    std::string trace() const { return readFile(work() / "Process.trace"); }

    // Puts the test double in the place of the downloader `name`; it writes
    // the arguments it receives into `record`.
    void useDouble(const std::string& name);
    // Those arguments; waits for a downloader that the service did not wait for.
    std::vector<std::string> received() const;
    fs::path record;

    std::map<std::string, std::optional<std::string>> env;
    // A run taking longer is killed (status 128 + SIGKILL): a test never hangs.
    int timeoutSeconds = 120;
    // Address space of the child in MiB (0: no limit), so that a regression
    // that makes a run grow fails the test instead of exhausting the machine.
    long memoryLimitMb = 0;
    // A program that runs the service (valgrind and its options, say).
    std::vector<std::string> wrapper;
    // Runs the executable (and its wrapper) in a private mount namespace
    // where /usr/bin holds no xterm, so that the service finds no terminal.
    bool withoutUsrBin = false;
    // Whether this machine lets the tests hide the terminal (needs the right
    // to create a mount namespace and an overlay).
    static bool canHideUsrBin();

private:
    fs::path mRoot;
    mutable int mRuns = 0;  // runs without a terminal so far
};

}  // namespace e2e
