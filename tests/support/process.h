// A program started by a test: the test's environment changed by `env` (a
// value of none removes the variable), input from /dev/null, output into
// files; waited for with a bound, and ended with the object.
#pragma once

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

class Process {
public:
    using Environment = std::map<std::string, std::optional<std::string>>;

    // Standard error goes with the output unless `err` is given; the program
    // runs in `dir` when one is given.
    Process(const std::vector<std::string>& argv, const Environment& env, const std::filesystem::path& out,
            const std::filesystem::path& err = {}, const std::filesystem::path& dir = {}) {
        std::map<std::string, std::string> merged;
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string entry = *e;
            merged[entry.substr(0, entry.find('='))] = entry.substr(entry.find('=') + 1);
        }
        for (const auto& [name, value] : env) {
            if (value) merged[name] = *value;
            else merged.erase(name);
        }
        std::vector<std::string> envText, argText = argv;
        for (const auto& [name, value] : merged) envText.push_back(name + "=" + value);
        std::vector<char*> envp, args;
        for (auto& e : envText) envp.push_back(e.data());
        for (auto& a : argText) args.push_back(a.data());
        envp.push_back(nullptr);
        args.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (err.empty()) posix_spawn_file_actions_adddup2(&actions, 1, 2);
        else posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (!dir.empty()) posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
        const int failed = posix_spawn(&mPid, args[0], &actions, nullptr, args.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        if (failed != 0) throw std::runtime_error("cannot start " + argv[0]);
    }
    ~Process() {
        if (!mStatus) {
            ::kill(mPid, SIGTERM);
            wait();
        }
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    pid_t pid() const { return mPid; }
    void kill(int signal) const { ::kill(mPid, signal); }
    // The exit status (128 + signal for a signal); none when still running after `limit`.
    std::optional<int> waitFor(std::chrono::milliseconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!mStatus && !reap(WNOHANG)) {
            if (std::chrono::steady_clock::now() > end) return std::nullopt;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return mStatus;
    }
    // Blocks until the program ends (no polling: a benchmark times it).
    int wait() {
        while (!mStatus) reap(0);
        return *mStatus;
    }
    long peakMemoryKb() const { return mUsage.ru_maxrss; }
    // User and system time of the ended program, in seconds.
    double cpuSeconds() const {
        auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
        return seconds(mUsage.ru_utime) + seconds(mUsage.ru_stime);
    }

private:
    // Whether the program has ended; its status is then kept.
    bool reap(int options) {
        int status = 0;
        const pid_t got = ::wait4(mPid, &status, options, &mUsage);
        if (got == mPid) mStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        else if (got < 0 && errno == ECHILD) mStatus = -1;  // reaped elsewhere: nothing left to wait for
        return mStatus.has_value();
    }

    pid_t mPid = -1;
    std::optional<int> mStatus;
    rusage mUsage{};
};
