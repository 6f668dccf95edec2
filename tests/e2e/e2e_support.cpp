#include "e2e_support.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

extern char** environ;

namespace e2e {

namespace {

// The shell line that mounts, in the private mount namespace it runs in, the
// real /usr/bin without xterm: an overlay whose upper folder holds a
// whiteout for it, made in `dir`.  Everything else there (valgrind, tar)
// still runs.  False when the whiteout cannot be made.
bool mountWithoutTerminal(const fs::path& dir, std::string& line) {
    fs::create_directories(dir / "upper");
    fs::create_directories(dir / "work");
    if (::mknod((dir / "upper" / "xterm").c_str(), S_IFCHR | 0600, makedev(0, 0)) != 0) return false;
    line = "mount -t overlay overlay -o \"lowerdir=/usr/bin,upperdir=" + (dir / "upper").string() +
           ",workdir=" + (dir / "work").string() + "\" /usr/bin";
    return true;
}

}  // namespace

void Installation::SetUp() {
    std::random_device seed;
    mRoot = fs::temp_directory_path() / ("orbs_e2e_" + std::to_string(seed()));
    fs::create_directories(scratch());
    fs::copy(ORBS_TEST_INSTALL_DIR, root(), fs::copy_options::recursive);
}

void Installation::TearDown() {
    std::error_code ignored;
    fs::remove_all(mRoot, ignored);
}

bool Installation::canHideUsrBin() {
    static const bool able = [] {
        const fs::path dir = fs::temp_directory_path() / ("orbs_e2e_overlay_" + std::to_string(::getpid()));
        std::string mount;
        const bool made = mountWithoutTerminal(dir, mount);
        const bool hidden =
            made && std::system(("unshare -m --propagation private sh -c '" + mount +
                                 " && test ! -e /usr/bin/xterm' >/dev/null 2>&1").c_str()) == 0;
        std::error_code ignored;
        fs::remove_all(dir, ignored);
        return hidden;
    }();
    return able;
}

RunResult Installation::run(const std::vector<std::string>& args) const {
    std::map<std::string, std::string> childEnv;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const auto eq = entry.find('=');
        const std::string name = entry.substr(0, eq);
        if (name.rfind("ORBISCAN_", 0) == 0 || name == "NORVIK_CONFIGURATION_FILE_NAME") continue;
        childEnv[name] = entry.substr(eq + 1);
    }
    childEnv["ORBISCAN_INIT_DIR"] = root().string();
    childEnv["ORBISCAN_ERROR_PAUSE_SECONDS"] = "0";
    childEnv["ORBISCAN_PAUSE_SCALE"] = "0";
    for (const auto& [name, value] : env) {
        if (value)
            childEnv[name] = *value;
        else
            childEnv.erase(name);
    }
    std::vector<std::string> envText;
    for (const auto& [name, value] : childEnv) envText.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (std::string& e : envText) envp.push_back(e.data());
    envp.push_back(nullptr);

    std::vector<std::string> argText = wrapper;
    argText.push_back((root() / "bin" / "sentinel_services").string());
    if (withoutUsrBin) {
        // A fresh overlay per run: one of a downloader that outlives its
        // run may still be mounted.
        std::string mount;
        if (!mountWithoutTerminal(mRoot / ("usr_bin_" + std::to_string(mRuns++)), mount)) {
            ADD_FAILURE() << "cannot hide the terminal";
            return {};
        }
        argText.insert(argText.begin(), {"/usr/bin/unshare", "-m", "--propagation", "private", "/bin/sh", "-c",
                                         mount + " && exec \"$@\"", "sh"});
    }
    // AddressSanitizer reserves terabytes of address space for its shadow
    // memory: a sanitized build runs without the limit.
#ifndef ORBS_SANITIZED
    if (memoryLimitMb > 0)
        argText.insert(argText.begin(), {"/usr/bin/prlimit", "--as=" + std::to_string(memoryLimitMb * 1024 * 1024), "--"});
#endif
    const std::string program = argText.front();
    argText.insert(argText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argText) argv.push_back(a.data());
    argv.push_back(nullptr);

    const fs::path outPath = mRoot / "stdout.txt";
    const fs::path errPath = mRoot / "stderr.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&actions, scratch().c_str());
    pid_t pid = 0;
    RunResult result;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        ADD_FAILURE() << "cannot start " << program;
        return result;
    }
    posix_spawn_file_actions_destroy(&actions);
    const auto start = std::chrono::steady_clock::now();
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, WNOHANG, &usage) == 0) {
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(timeoutSeconds)) {
            kill(pid, SIGKILL);
            wait4(pid, &status, 0, &usage);
            ADD_FAILURE() << "the run did not end within " << timeoutSeconds << " s";
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.peakMemoryKb = usage.ru_maxrss;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = readFile(outPath);
    result.err = readFile(errPath);
    return result;
}

}  // namespace e2e
