// End-to-end tests: a private copy of the installation directory, a runner
// for the installed executable, and the fixtures of its two commands, each
// with a test double in the place of its downloader.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>
#include "private_x_server.h"
#include "test_files.h"

namespace e2e {

namespace fs = std::filesystem;
using test_files::readFile;
using test_files::readLines;
using test_files::writeFile;

struct RunResult {
    int status = -1;  // exit status, or 128 + signal
    std::string out, err;
    long peakMemoryKb = 0;  // of the child
    double seconds = 0;     // wall time
};

// A fresh copy of the installation made by `cmake --install`, in a
// temporary directory removed at the end of the test.
class Installation : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs bin/sentinel_services: ORBISCAN_INIT_DIR = root(), no other
    // ORBISCAN_* variable unless set in env, instant pauses.
    RunResult run(const std::vector<std::string>& args) const;

    fs::path root() const { return mRoot / "install"; }
    fs::path work() const { return root() / "work"; }
    fs::path scratch() const { return mRoot / "scratch"; }
    std::string trace() const { return readFile(work() / "Process.trace"); }

    // The test double in the place of the downloader `name`; it writes the
    // arguments it receives into `record`, which received() reads (waiting
    // for a downloader that the service did not wait for).
    void useDouble(const std::string& name);
    std::vector<std::string> received() const;
    fs::path record;

    std::map<std::string, std::optional<std::string>> env;
    int timeoutSeconds = 120;  // then the run is killed (status 128 + SIGKILL)
    long memoryLimitMb = 0;    // address space of the child (0: no limit)
    std::vector<std::string> wrapper;  // runs the service (valgrind, say)
    // Runs in a private mount namespace whose /usr/bin holds no xterm, so
    // that the service finds no terminal; canHideUsrBin: this machine allows it.
    bool withoutUsrBin = false;
    static bool canHideUsrBin();

private:
    fs::path mRoot;
    mutable int mRuns = 0;  // runs without a terminal so far
};

constexpr int kStatusDownloaderFailed = 260004 & 0xFF;  // the exit status of code 260004

inline std::vector<std::string> join(std::vector<std::string> head, const std::vector<std::string>& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

// The auxiliary files command, AuxFetch a double.
class Auxiliaries : public Installation {
protected:
    void SetUp() override {
        Installation::SetUp();
        useDouble("AuxFetch");
        env["ORBS_DOUBLE_PROGRESS"] = (work() / "Process.working").string();
        parameters = scratch() / "my parameters" / "aux.sml";
        output = scratch() / "out dir";
    }

    // A parameter file from the shipped example with the given values.
    void writeParameters(const std::string& outputFolder, const std::string& method, const std::string& wait) {
        std::string text = readFile(fs::path(ORBS_SOURCE_DIR) / "examples" / "sentinel_auxiliaries.sml");
        for (const auto& [field, value] : {std::pair<std::string, std::string>{"output_folder", outputFolder},
                                           {"download_method", method}, {"wait_until_finish_flag", wait}}) {
            const std::size_t begin = text.find("<" + field + ">") + field.size() + 2;
            text.replace(begin, text.find("</" + field + ">") - begin, value);
        }
        writeFile(parameters, text);
    }

    RunResult runCommand() { return run({"main_sentinel_auxiliaries#" + parameters.string()}); }

    std::vector<std::string> folderArguments(const std::string& base) const {
        return {base + "/AUX_INS", base + "/AUX_CAL", base + "/AUX_POEORB", base + "/AUX_RESORB"};
    }

    fs::path parameters, output;
};

// The product search command in a real terminal on a private X server,
// HubFetch a double.
class ScihubGet : public Installation {
protected:
    using Fields = std::vector<std::pair<std::string, std::optional<std::string>>>;

    void SetUp() override {
        Installation::SetUp();
        if (!PrivateXServer::start()) GTEST_SKIP() << "no xterm or no Xvfb to run a terminal";
        useDouble("HubFetch");
        parameters = scratch() / "search" / "search.sml";
        progressFile = scratch() / "run" / "progress";
    }

    // A parameter file: the defaults below (every filter open, no area, the
    // command waits), changed (or, with no value, left out) by `main` for
    // MAIN_SCI_HUB_GET_CMD and `user` for ORBSNT_USER_SCIHUB.
    void writeParameters(const Fields& main = {}, const Fields& user = {}) {
        Fields mainFields = {{"OrbiscanEnvironment", "IDL_ENVI_ENV"}, {"progress_file_name", progressFile.string()},
                             {"wait_until_finish_flag", "OK"}, {"west_coord", "0"}, {"north_coord", "0"},
                             {"east_coord", "0"}, {"south_coord", "0"}, {"relativeorbitnumber", "-1"}};
        Fields userFields = {{"username", "search_user"}, {"password", "s3cret-Pa55"}};
        auto section = [](const std::string& name, Fields fields, const Fields& changes) {
            for (const auto& change : changes) {
                auto at = std::find_if(fields.begin(), fields.end(), [&](auto& f) { return f.first == change.first; });
                at == fields.end() ? fields.push_back(change) : void(at->second = change.second);
            }
            std::string text = "   <" + name + ">\n";
            for (const auto& [field, value] : fields)  // a value starting with "<" is an element (a vector)
                if (value) text += "      <" + field + ">" + (value->starts_with("<") ? *value : escaped(*value)) + "</" + field + ">\n";
            return text + "   </" + name + ">\n";
        };
        writeFile(parameters, "<?xml version=\"1.0\" ?>\n<PARAMETERS_INFO_SCI_HUB_GET_CMD>\n" +
                                  section("MAIN_SCI_HUB_GET_CMD", mainFields, main) +
                                  section("ORBSNT_USER_SCIHUB", userFields, user) + "</PARAMETERS_INFO_SCI_HUB_GET_CMD>\n");
    }

    static std::string escaped(const std::string& text) {
        std::string out;
        for (char c : text)
            out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '"' ? "&quot;" : std::string(1, c);
        return out;
    }

    RunResult runCommand() { return run({"main_scihub_get#" + parameters.string()}); }

    // The query file, without its line end.
    std::string query() const {
        std::string text = readFile(progressFile.string() + "_query.txt");
        if (!text.empty() && text.back() == '\n') text.pop_back();
        return text;
    }

    // The detail lines of the error file joined (blank filler lines left out).
    std::string errorText() const {
        std::string text;
        for (const std::string& line : readLines(work() / "Process.working_error"))
            if (line.find_first_not_of(' ') != std::string::npos) text += line + "\n";
        return text;
    }

    fs::path parameters, progressFile;
};
}  // namespace e2e
