// End-to-end runs whose service runs under valgrind: a memory error or a
// definite leak of the service itself (not of the programs it starts)
// makes the report unclean.
#pragma once

#include "e2e_support.h"

namespace valgrind_runs {
template <class Runs>
class UnderValgrindOf : public Runs {
protected:
    void SetUp() override {
        Runs::SetUp();
        if (this->IsSkipped()) return;
#ifdef ORBS_SANITIZED
        GTEST_SKIP() << "a sanitized build does not run under valgrind";
#endif
        if (!std::filesystem::exists("/usr/bin/valgrind")) GTEST_SKIP() << "valgrind is not installed";
        report = this->scratch() / "valgrind.log";
        this->wrapper = {"/usr/bin/valgrind", "--leak-check=full", "--errors-for-leak-kinds=definite", "--error-exitcode=9",
                         "--child-silent-after-fork=yes", "--log-file=" + report.string()};
        this->timeoutSeconds = 300;
    }

    // The exit status of a run whose valgrind report is clean.
    int checked(const e2e::RunResult& r) {
        const std::string log = test_files::readFile(report);
        EXPECT_NE(log.find("Command: " + (this->root() / "bin" / "sentinel_services").string()), std::string::npos) << log;
        EXPECT_NE(log.find("ERROR SUMMARY: 0 errors"), std::string::npos) << log;
        return r.status;
    }

    std::filesystem::path report;
};
}  // namespace valgrind_runs
