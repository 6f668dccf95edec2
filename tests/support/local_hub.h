// The local example hub (examples/local_hub/local_hub.py) for tests: started
// on 127.0.0.1 with a free port and faults chosen per test, stopped at the
// end (and by itself after its lifetime), with its request log; and a test
// that runs a downloader against it.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "process.h"
#include "temp_folder.h"
#include "test_files.h"

namespace local_hub {

namespace fs = std::filesystem;

using ::Process;

// The environment of a downloader run against the local hub: its own home
// (no netrc of the user), instant pauses unless told, no proxy.
inline Process::Environment clientEnvironment(const fs::path& home, const std::string& pauseScale = "0") {
    return {{"ORBISCAN_PAUSE_SCALE", pauseScale}, {"HOME", home.string()}, {"NO_PROXY", "*"},
            {"http_proxy", std::nullopt}, {"https_proxy", std::nullopt}, {"HTTP_PROXY", std::nullopt},
            {"HTTPS_PROXY", std::nullopt}, {"ALL_PROXY", std::nullopt}};
}

// Polls `done` every 20 ms, `tries` times at most; whether it came true.
inline bool waitUntil(const std::function<bool()>& done, int tries) {
    for (int i = 0; i < tries; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(20)))
        if (done()) return true;
    return done();
}

class LocalHub {
public:
    // `options` are the hub's own (faults, sizes); its files go into `folder`.
    LocalHub(const fs::path& folder, const std::vector<std::string>& options, double lifetimeSeconds = 120)
        : mFolder(folder) {
        fs::create_directories(folder);
        fs::remove(folder / "hub.port");
        fs::remove(folder / "hub.log");
        std::vector<std::string> argv{"/usr/bin/python3", std::string(ORBS_SOURCE_DIR) + "/examples/local_hub/local_hub.py",
                                      "--port-file", (folder / "hub.port").string(), "--log",
                                      (folder / "hub.log").string(), "--lifetime", std::to_string(lifetimeSeconds)};
        argv.insert(argv.end(), options.begin(), options.end());
        mProcess.emplace(argv, Process::Environment{}, folder / "hub.out");
        for (int i = 0; i < 2400 && !fs::exists(folder / "hub.port"); ++i) {
            if (mProcess->waitFor(std::chrono::milliseconds(0)))
                throw std::runtime_error("local hub ended: " + test_files::readFile(folder / "hub.out"));
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        mPort = std::stoi(test_files::readFile(folder / "hub.port"));
    }

    std::string url() const { return "http://127.0.0.1:" + std::to_string(mPort); }
    std::string tokenUrl() const { return url() + "/auth/realms/CDSE/protocol/openid-connect/token"; }

    // The requests logged so far whose path contains `part` (and whose role
    // is `role` when given), one JSON object each.
    std::vector<nlohmann::json> requests(const std::string& part = "", const std::string& role = "") const {
        std::vector<nlohmann::json> found;
        for (const std::string& line : test_files::readLines(mFolder / "hub.log")) {
            if (line.empty()) continue;
            nlohmann::json entry = nlohmann::json::parse(line);
            if (entry.value("path", "").find(part) != std::string::npos && (role.empty() || entry["role"] == role))
                found.push_back(std::move(entry));
        }
        return found;
    }

private:
    fs::path mFolder;
    std::optional<Process> mProcess;
    int mPort = 0;
};

// A downloader's run: its exit status and output.
struct ProgramResult {
    int status = -1;
    std::string output;
    std::string lastLine() const {
        const auto end = output.find_last_not_of('\n');
        return end == std::string::npos ? "" : output.substr(output.rfind('\n', end) + 1, end - output.rfind('\n', end));
    }
};

// A test with a folder of its own and a local hub started in it.
class HubTest : public TempFolderTest {
protected:
    void startHub(const std::vector<std::string>& options) {
        mHub.reset();
        mHub = std::make_unique<LocalHub>(mRoot / "hub", options);
    }
    LocalHub& hub() { return *mHub; }
    // Waits (60 s at most) for a downloader whose output goes to `output`.
    static ProgramResult finish(Process& process, const fs::path& output) {
        const auto status = process.waitFor(std::chrono::seconds(60));
        EXPECT_TRUE(status) << "still running after 60 s";
        return {status.value_or(-1), test_files::readFile(output)};
    }

private:
    std::unique_ptr<LocalHub> mHub;
};

}  // namespace local_hub
