// Running the installed executable under valgrind and reading its report.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "test_files.h"

namespace valgrind_runs {

// valgrind in front of the service: a memory error or a definite leak of the
// service itself (not of the programs it starts) makes the report unclean.
inline std::vector<std::string> wrapper(const std::filesystem::path& report) {
    return {"/usr/bin/valgrind", "--leak-check=full", "--errors-for-leak-kinds=definite", "--error-exitcode=9",
            "--child-silent-after-fork=yes", "--log-file=" + report.string()};
}

inline void expectClean(const std::filesystem::path& report, const std::filesystem::path& service) {
    const std::string log = test_files::readFile(report);
    EXPECT_NE(log.find("Command: " + service.string()), std::string::npos) << log;
    EXPECT_NE(log.find("ERROR SUMMARY: 0 errors"), std::string::npos) << log;
}

// Why valgrind runs cannot happen here, or empty.
inline std::string unavailable() {
#ifdef ORBS_SANITIZED
    return "a sanitized build does not run under valgrind";
#else
    return std::filesystem::exists("/usr/bin/valgrind") ? "" : "valgrind is not installed";
#endif
}

// A fixture of end-to-end runs whose service runs under valgrind.
template <class Runs>
class UnderValgrindOf : public Runs {
protected:
    void SetUp() override {
        Runs::SetUp();
        if (this->IsSkipped()) return;
        if (const std::string why = unavailable(); !why.empty()) GTEST_SKIP() << why;
        report = this->scratch() / "valgrind.log";
        this->wrapper = valgrind_runs::wrapper(report);
        this->timeoutSeconds = 300;
    }

    // The exit status of a run whose valgrind report is clean.
    template <class Result>
    int checked(const Result& r) {
        expectClean(report, this->root() / "bin" / "sentinel_services");
        return r.status;
    }

    std::filesystem::path report;
};

}  // namespace valgrind_runs
