// The product search command run by the installed executable in a real
// terminal on a private X server, with a test double in the place of the
// downloader HubFetch.
#pragma once

#include <chrono>
#include <optional>
#include <thread>
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
        fs::copy_file(ORBS_FETCH_DOUBLE, root() / "bin" / "HubFetch", fs::copy_options::overwrite_existing);
        record = scratch() / "record.txt";
        env["ORBS_DOUBLE_RECORD"] = record.string();
        parameters = scratch() / "search" / "search.sml";
        progressFile = scratch() / "run" / "progress";
    }

    // A parameter file: the defaults below, changed (or, with no value,
    // left out) by `main` for MAIN_SCI_HUB_GET_CMD and `user` for
    // ORBSNT_USER_SCIHUB.  By default every filter is open, there is no
    // area, and the command waits.
    void writeParameters(const Fields& main = {}, const Fields& user = {}) {
        Fields mainFields = {{"OrbiscanEnvironment", "IDL_ENVI_ENV"},
                             {"progress_file_name", progressFile.string()},
                             {"wait_until_finish_flag", "OK"},
                             {"west_coord", "0"},
                             {"north_coord", "0"},
                             {"east_coord", "0"},
                             {"south_coord", "0"},
                             {"relativeorbitnumber", "-1"}};
        Fields userFields = {{"username", "search_user"}, {"password", "s3cret-Pa55"}};
        auto merge = [](Fields& into, const Fields& changes) {
            for (const auto& [name, value] : changes) {
                auto at = std::find_if(into.begin(), into.end(), [&](const auto& f) { return f.first == name; });
                if (at == into.end())
                    into.emplace_back(name, value);
                else
                    at->second = value;
            }
        };
        merge(mainFields, main);
        merge(userFields, user);
        auto section = [](const std::string& name, const Fields& fields) {
            std::string text = "   <" + name + ">\n";
            for (const auto& [field, value] : fields) {
                if (!value) continue;
                if (value->starts_with("<"))  // an element of its own (a vector)
                    text += "      <" + field + ">" + *value + "</" + field + ">\n";
                else
                    text += "      <" + field + ">" + xmlEscaped(*value) + "</" + field + ">\n";
            }
            return text + "   </" + name + ">\n";
        };
        writeFile(parameters, "<?xml version=\"1.0\" ?>\n<PARAMETERS_INFO_SCI_HUB_GET_CMD>\n" +
                                  section("MAIN_SCI_HUB_GET_CMD", mainFields) +
                                  section("ORBSNT_USER_SCIHUB", userFields) + "</PARAMETERS_INFO_SCI_HUB_GET_CMD>\n");
    }

    static std::string xmlEscaped(const std::string& text) {
        std::string out;
        for (char c : text) {
            switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
            }
        }
        return out;
    }

    RunResult runCommand() { return run({"main_scihub_get#" + parameters.string()}); }

    // The query file, without its line end.
    std::string query() const {
        std::string text = readFile(progressFile.string() + "_query.txt");
        if (!text.empty() && text.back() == '\n') text.pop_back();
        return text;
    }

    // The arguments HubFetch received; waits for a downloader that the
    // service did not wait for.
    std::vector<std::string> received() const {
        for (int i = 0; i < 1000 && !fs::exists(record); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return readLines(record);
    }

    std::string trace() const { return readFile(work() / "Process.trace"); }

    // The detail lines of the error file joined (blank filler lines left out).
    std::string errorText() const {
        std::string text;
        for (const std::string& line : readLines(work() / "Process.working_error"))
            if (line.find_first_not_of(' ') != std::string::npos) text += line + "\n";
        return text;
    }

    fs::path record, parameters, progressFile;
};

}  // namespace e2e
