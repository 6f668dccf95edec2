#include "e2e_support.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
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
    static const bool able = std::system("unshare -m --propagation private sh -c 'mount --bind /tmp /usr/bin' >/dev/null 2>&1") == 0;
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

    std::string program = (root() / "bin" / "sentinel_services").string();
    std::vector<std::string> argText{program};
    if (withoutUsrBin) {
        fs::create_directories(mRoot / "empty");
        argText = {"/usr/bin/unshare", "-m", "--propagation", "private", "/bin/sh", "-c", "mount --bind \"$1\" /usr/bin && shift && exec \"$@\"",
                   "sh", (mRoot / "empty").string(), program};
        program = "/usr/bin/unshare";
    }
    // Wrappers run first and become the rest of the line (started before
    // /usr/bin is hidden).
    argText.insert(argText.begin(), wrapper.begin(), wrapper.end());
    if (memoryLimitMb > 0)
        argText.insert(argText.begin(), {"/usr/bin/prlimit", "--as=" + std::to_string(memoryLimitMb * 1024 * 1024), "--"});
    program = argText.front();
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
