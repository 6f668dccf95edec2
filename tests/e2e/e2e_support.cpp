#include "e2e_support.h"
#include "process.h"
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <thread>

namespace e2e {

namespace {
// The shell line that mounts, in its private mount namespace, /usr/bin
// without xterm: an overlay whose upper folder (in `dir`) holds a whiteout
// for it.  False when the whiteout cannot be made.
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

void Installation::useDouble(const std::string& name) {
    fs::copy_file(ORBS_FETCH_DOUBLE, root() / "bin" / name, fs::copy_options::overwrite_existing);
    record = scratch() / "record.txt";
    env["ORBS_DOUBLE_RECORD"] = record.string();
}

std::vector<std::string> Installation::received() const {
    for (int i = 0; i < 1000 && !fs::exists(record); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return readLines(record);
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
    // No ORBISCAN_* variable of the test's own, instant pauses; `env` wins.
    Process::Environment childEnv = env;
    for (char** e = environ; *e; ++e) {
        const std::string name = std::string(*e).substr(0, std::string(*e).find('='));
        if (name.rfind("ORBISCAN_", 0) == 0 || name == "NORVIK_CONFIGURATION_FILE_NAME") childEnv.emplace(name, std::nullopt);
    }
    childEnv["ORBISCAN_INIT_DIR"] = root().string();
    childEnv.emplace("ORBISCAN_ERROR_PAUSE_SECONDS", "0");
    childEnv.emplace("ORBISCAN_PAUSE_SCALE", "0");

    std::vector<std::string> argv = wrapper;
    argv.push_back((root() / "bin" / "sentinel_services").string());
    if (withoutUsrBin) {
        // A fresh overlay per run: a downloader outliving its run may hold one.
        std::string mount;
        if (!mountWithoutTerminal(mRoot / ("usr_bin_" + std::to_string(mRuns++)), mount)) {
            ADD_FAILURE() << "cannot hide the terminal";
            return {};
        }
        argv.insert(argv.begin(), {"/usr/bin/unshare", "-m", "--propagation", "private", "/bin/sh", "-c",
                                   mount + " && exec \"$@\"", "sh"});
    }
    // AddressSanitizer reserves terabytes of address space: no limit there.
#ifndef ORBS_SANITIZED
    if (memoryLimitMb > 0)
        argv.insert(argv.begin(), {"/usr/bin/prlimit", "--as=" + std::to_string(memoryLimitMb * 1024 * 1024), "--"});
#endif
    argv.insert(argv.end(), args.begin(), args.end());

    RunResult result;
    const auto start = std::chrono::steady_clock::now();
    {
        Process child(argv, childEnv, mRoot / "stdout.txt", mRoot / "stderr.txt", scratch());
        std::optional<int> status = child.waitFor(std::chrono::seconds(timeoutSeconds));
        if (!status) {
            child.kill(SIGKILL);
            ADD_FAILURE() << "the run did not end within " << timeoutSeconds << " s";
            status = child.wait();
        }
        result.status = *status;
        result.peakMemoryKb = child.peakMemoryKb();
    }
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.out = readFile(mRoot / "stdout.txt");
    result.err = readFile(mRoot / "stderr.txt");
    return result;
}
}  // namespace e2e
