// The product search command run by the installed executable in a real
// terminal on a private X server, with a test double in the place of the
// downloader HubFetch.
#pragma once

#include <algorithm>
#include <optional>
#include <utility>

#include "e2e_support.h"
#include "private_x_server.h"

namespace e2e {

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

    // A parameter file: the defaults below, changed (or, with no value,
    // left out) by `main` for MAIN_SCI_HUB_GET_CMD and `user` for
    // ORBSNT_USER_SCIHUB.  By default every filter is open, there is no
    // area, and the command waits.
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
            for (const auto& [field, value] : fields) {
                // A value starting with "<" is an element of its own (a vector).
                if (!value) continue;
                text += "      <" + field + ">" + (value->starts_with("<") ? *value : escaped(*value)) + "</" + field + ">\n";
            }
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
