// Helpers for unit tests of the core library: a minimal installation
// directory and a clean core state per test.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "orbs_errors.h"
#include "orbs_utility_global_vars.h"
#include "temp_folder.h"
#include "test_files.h"

namespace orbs_test {

namespace fs = std::filesystem;

using test_files::readFile;
using test_files::readLines;
using test_files::writeFile;

// The error code of a raise (raises throw while exit mode is off), or 0.
inline int raisedCode(const std::function<void()>& action) {
    try {
        action();
    } catch (const CErrorExceptionManager& error) {
        return error.mErrorCode;
    }
    return 0;
}

// "code@source:line:parameter" of a raise, or "nothing raised".
inline std::string raisedBy(const std::function<void()>& action) {
    try {
        action();
    } catch (const CErrorExceptionManager& e) {
        return std::to_string(e.mErrorCode) + "@" + e.mSourceFile + ":" + std::to_string(e.mErrorLine) + ":" +
               e.mErrorParameter;
    }
    return "nothing raised";
}

// Standard output of a shell command (standard error discarded).
inline std::string commandOutput(const std::string& command) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen((command + " 2>/dev/null").c_str(), "r"), pclose);
    std::string output;
    std::array<char, 4096> buffer{};
    for (std::size_t n; pipe && (n = fread(buffer.data(), 1, buffer.size(), pipe.get())) > 0;) output.append(buffer.data(), n);
    return output;
}

inline std::string quoted(const std::string& path) { return "'" + path + "'"; }

// Process variables read by the environment loading, cleared for a test.
inline void clearOrbiscanVariables() {
    for (const char* name : {"ORBISCAN_INIT_DIR", "NORVIK_CONFIGURATION_FILE_NAME", "ORBISCAN_WORKING_DIR",
                             "ORBISCAN_BATCH_DIR", "ORBISCAN_WORKING_FILE", "ORBISCAN_LOG_DIR",
                             "ORBISCAN_TRACE_DEBUG_DIR"})
        unsetenv(name);
}

// Back to the state of a process that has not run the core set-up.
inline void resetCore() {
    NorvikCore::get_process_trace_stream().close();
    NorvikCore::get_process_log_stream().close();
    NorvikCore::get_process_trace_stream().clear();
    NorvikCore::get_process_log_stream().clear();
    NorvikCore::free();
    NorvikCore::init();
    NorvikCore::set_is_exit_enable_flag(false);
    NorvikCore::set_trace_level(0);
    NORBS_ERROR_MANAGER::resetProgressBarState();
}

// An installation directory with the shipped error catalogue and work/.
inline void makeInstallation(const fs::path& root) {
    fs::create_directories(root / "work");
    fs::create_directories(root / "bin");
    fs::copy(fs::path(ORBS_SOURCE_DIR) / "auxiliary", root / "auxiliary", fs::copy_options::recursive);
}

// A clean core (exit mode off, so raises throw; instant pauses) and a
// temporary directory.
class CleanCoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("ORBISCAN_PAUSE_SCALE", "0", 1);
        setenv("ORBISCAN_ERROR_PAUSE_SECONDS", "0", 1);
        resetCore();
    }
    void TearDown() override { resetCore(); }
    fs::path dir() const { return mDir.path(); }
    std::string at(const std::string& name) const { return mDir.at(name); }

    TempDir mDir;
};

// The same with a temporary installation directory named by
// ORBISCAN_INIT_DIR.
class CoreTest : public CleanCoreTest {
protected:
    void SetUp() override {
        clearOrbiscanVariables();
        CleanCoreTest::SetUp();
        makeInstallation(install());
        setenv("ORBISCAN_INIT_DIR", install().c_str(), 1);
    }
    void TearDown() override {
        CleanCoreTest::TearDown();
        clearOrbiscanVariables();
    }
    fs::path install() const { return dir() / "install"; }
    fs::path work() const { return install() / "work"; }

    // Environment table of the default layout of install(), with the work
    // file in work/.
    void loadDefaultEnvironment() {
        createEnvironmentTable(CORBS_ENV_TABLE_CAPACITY);
        loadEnvironment();
    }
};

}  // namespace orbs_test
