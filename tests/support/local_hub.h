// The local example hub (examples/local_hub/local_hub.py) for tests: started
// on 127.0.0.1 with a free port and faults chosen per test, stopped at the
// end (and by itself after its lifetime), with its request log.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "test_files.h"

extern char** environ;

namespace local_hub {

namespace fs = std::filesystem;

// A started program: its pid, and where its output goes.
class Process {
public:
    // Starts `argv` with the current environment changed by `env` (a value
    // of none removes the variable); output into `log`, input from /dev/null.
    Process(const std::vector<std::string>& argv, const std::map<std::string, std::optional<std::string>>& env,
            const fs::path& log) {
        std::map<std::string, std::string> merged;
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string entry = *e;
            merged[entry.substr(0, entry.find('='))] = entry.substr(entry.find('=') + 1);
        }
        for (const auto& [name, value] : env) {
            if (value) merged[name] = *value;
            else merged.erase(name);
        }
        std::vector<std::string> envText;
        for (const auto& [name, value] : merged) envText.push_back(name + "=" + value);
        std::vector<char*> envp, args;
        for (auto& e : envText) envp.push_back(e.data());
        envp.push_back(nullptr);
        std::vector<std::string> argText = argv;
        for (auto& a : argText) args.push_back(a.data());
        args.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        const int failed = posix_spawn(&mPid, args[0], &actions, nullptr, args.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        if (failed != 0) throw std::runtime_error("cannot start " + argv[0]);
    }
    ~Process() {
        if (mPid > 0 && !mStatus) {
            ::kill(mPid, SIGTERM);
            wait();
        }
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    pid_t pid() const { return mPid; }
    // The exit status (128 + signal for a signal).
    int wait() {
        if (!mStatus) {
            int status = 0;
            ::waitpid(mPid, &status, 0);
            mStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        return *mStatus;
    }
    // None when still running after `limit`.
    std::optional<int> waitFor(std::chrono::milliseconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!mStatus) {
            int status = 0;
            if (::waitpid(mPid, &status, WNOHANG) == mPid) {
                mStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                break;
            }
            if (std::chrono::steady_clock::now() > end) return std::nullopt;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return mStatus;
    }

private:
    pid_t mPid = -1;
    std::optional<int> mStatus;
};

// The environment of a downloader run against the local hub: its own home
// (no netrc of the user), instant pauses unless told, no proxy.
inline std::map<std::string, std::optional<std::string>> clientEnvironment(const fs::path& home,
                                                                           const std::string& pauseScale = "0") {
    return {{"ORBISCAN_PAUSE_SCALE", pauseScale}, {"HOME", home.string()}, {"NO_PROXY", "*"},
            {"http_proxy", std::nullopt}, {"https_proxy", std::nullopt}, {"HTTP_PROXY", std::nullopt},
            {"HTTPS_PROXY", std::nullopt}, {"ALL_PROXY", std::nullopt}};
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
        mProcess.emplace(argv, std::map<std::string, std::optional<std::string>>{}, folder / "hub.out");
        for (int i = 0; i < 2400 && !fs::exists(folder / "hub.port"); ++i) {
            if (mProcess->waitFor(std::chrono::milliseconds(0)))
                throw std::runtime_error("local hub ended: " + test_files::readFile(folder / "hub.out"));
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        mPort = std::stoi(test_files::readFile(folder / "hub.port"));
    }

    std::string url() const { return "http://127.0.0.1:" + std::to_string(mPort); }
    std::string tokenUrl() const { return url() + "/auth/realms/CDSE/protocol/openid-connect/token"; }

    // Every request logged so far, one JSON object each.
    std::vector<nlohmann::json> requests() const {
        std::vector<nlohmann::json> entries;
        for (const std::string& line : test_files::readLines(mFolder / "hub.log"))
            if (!line.empty()) entries.push_back(nlohmann::json::parse(line));
        return entries;
    }
    // The requests whose path contains `part` (and whose role is `role` when given).
    std::vector<nlohmann::json> requests(const std::string& part, const std::string& role = "") const {
        std::vector<nlohmann::json> found;
        for (const auto& entry : requests())
            if (entry.value("path", "").find(part) != std::string::npos && (role.empty() || entry["role"] == role))
                found.push_back(entry);
        return found;
    }

private:
    fs::path mFolder;
    std::optional<Process> mProcess;
    int mPort = 0;
};

}  // namespace local_hub
