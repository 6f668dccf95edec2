// The auxiliary files command run by the installed executable, with a test
// double in the place of the downloader AuxFetch.
#pragma once

#include "e2e_support.h"

namespace e2e {

constexpr int kStatusSpawnFailed = 260004 & 0xFF;

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
        auto replace = [&text](const std::string& field, const std::string& value) {
            const std::string open = "<" + field + ">", close = "</" + field + ">";
            const std::size_t begin = text.find(open) + open.size();
            text.replace(begin, text.find(close) - begin, value);
        };
        replace("output_folder", outputFolder);
        replace("download_method", method);
        replace("wait_until_finish_flag", wait);
        writeFile(parameters, text);
    }

    RunResult runCommand() { return run({"main_sentinel_auxiliaries#" + parameters.string()}); }

    std::vector<std::string> folderArguments(const std::string& base) const {
        return {base + "/AUX_INS", base + "/AUX_CAL", base + "/AUX_POEORB", base + "/AUX_RESORB"};
    }

    fs::path parameters, output;
};

inline std::vector<std::string> join(std::vector<std::string> head, const std::vector<std::string>& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

}  // namespace e2e
