// Child-process launcher.  Children are started with posix_spawn, never
// through a shell, so no argument text is ever interpreted: quotes, $(...),
// backticks, ';' and '|' reach the program as plain characters.
#include "orbs_subproc.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "orbs_runtime.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

void logLine(const std::string& text) { OrbsLog::write("subprocess: " + text); }

bool isExecutableFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// Resolves a program the way execvp does (a name without '/' is looked up
// in PATH), so that a missing program is known before anything is started.
std::string resolveProgram(const std::string& name) {
    if (name.empty()) return {};
    if (name.find('/') != std::string::npos) return isExecutableFile(name) ? name : std::string();
    const char* pathVariable = std::getenv("PATH");
    std::stringstream dirs(pathVariable != nullptr ? pathVariable : "/usr/local/bin:/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        const std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + name;
        if (isExecutableFile(candidate)) return candidate;
    }
    return {};
}

// Only xterm's "-e program args..." form is known, so the terminal is
// recognised by its name wherever it is installed.
bool isTerminal(const std::string& program) { return fs::path(program).filename() == "xterm"; }

// The runner is installed next to the executable that uses the launcher.
std::string runnerPath() {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (error) return {};
    return (self.parent_path() / OrbsSubproc::kRunnerName).string();
}

std::string createStatusFile() {
    std::error_code error;
    fs::path dir = fs::temp_directory_path(error);
    if (error) dir = "/tmp";
    std::string pattern = (dir / "orbs_subproc_XXXXXX").string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) return {};
    ::close(fd);
    return pattern;
}

int codeFromWaitStatus(int waitStatus) {
    if (WIFEXITED(waitStatus)) return WEXITSTATUS(waitStatus);
    if (WIFSIGNALED(waitStatus)) return OrbsSubproc::kSignalBase + WTERMSIG(waitStatus);
    return OrbsSubproc::kNoReport;
}

bool processExists(pid_t pid) { return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM); }

// posix_spawn attributes and file actions released on every path.
class SpawnSetup {
public:
    SpawnSetup() {
        posix_spawnattr_init(&mAttr);
        posix_spawn_file_actions_init(&mActions);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&mActions);
        posix_spawnattr_destroy(&mAttr);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
    posix_spawnattr_t* attr() { return &mAttr; }
    posix_spawn_file_actions_t* actions() { return &mActions; }

private:
    posix_spawnattr_t mAttr{};
    posix_spawn_file_actions_t mActions{};
};

}  // namespace

OrbsSubproc::OrbsSubproc() = default;

OrbsSubproc::~OrbsSubproc() {
    if (mChildAttached) terminateAttachedChild();
    discardStatusFile();
}

void OrbsSubproc::setConsoleFlag(bool console) { mConsole = console; }
void OrbsSubproc::setAttachedFlag(bool attached) { mAttached = attached; }
void OrbsSubproc::setUnescapeFlag(bool unescape) { mUnescape = unescape; }

int OrbsSubproc::getPid() const { return mPid; }
int OrbsSubproc::getExitCode() const { return mExitCode; }

bool OrbsSubproc::splitCommandText(const std::string& text, std::vector<std::string>& words) {
    words.clear();
    std::vector<std::string> result;
    std::string word;
    bool inWord = false;
    bool inQuotes = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\' && i + 1 < text.size() && text[i + 1] == '"') {
            word += '"';
            inWord = true;
            ++i;
        } else if (c == '"') {
            inQuotes = !inQuotes;
            inWord = true;  // "" stands for an empty argument
        } else if (!inQuotes && (c == ' ' || c == '\t')) {
            if (inWord) result.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    // An unterminated quote means the text was built wrongly; guessing where
    // the argument ends could pass a wrong path to the program.
    if (inQuotes) return false;
    if (inWord) result.push_back(std::move(word));
    words = std::move(result);
    return true;
}

std::optional<std::string> OrbsSubproc::quoteWord(const std::string& word) {
    // Backslashes at the end of the word go after the closing quote, where
    // no quote follows them: inside, the last one would escape the quote.
    const std::size_t tail = word.find_last_not_of('\\') + 1;
    std::string text = "\"";
    for (std::size_t i = 0; i < tail; ++i) text += word[i] == '"' ? std::string("\\\"") : std::string(1, word[i]);
    text += '"';
    text.append(word, tail, std::string::npos);
    std::vector<std::string> words;
    if (!splitCommandText(text, words) || words.size() != 1 || words.front() != word) return std::nullopt;
    return text;
}

bool OrbsSubproc::prepareArguments(const std::vector<std::string>& argv, std::vector<std::string>& finalArgv) {
    std::vector<std::string> words = argv;
    if (mUnescape && words.size() == 1 && !splitCommandText(argv.front(), words)) {
        logLine("unterminated quote in command text: " + argv.front());
        return false;
    }
    if (words.empty() || words.front().empty()) {
        logLine("no program to start");
        return false;
    }
    const std::string program = resolveProgram(words.front());
    if (program.empty()) {
        logLine("program not found or not executable: " + words.front());
        return false;
    }

    std::size_t dashE = 1;
    while (dashE < words.size() && words[dashE] != "-e") ++dashE;
    if (!isTerminal(program) || dashE == words.size()) {
        finalArgv = std::move(words);
        finalArgv.front() = program;
        mThroughTerminal = false;
        return true;
    }

    // Terminal: xterm always exits 0 whatever its command did, so the
    // command runs under our runner, which reports the command's end into a
    // status file that monitor reads.
    std::vector<std::string> command(words.begin() + static_cast<std::ptrdiff_t>(dashE) + 1, words.end());
    if (mUnescape && command.size() == 1) {
        const std::string text = command.front();
        if (!splitCommandText(text, command)) {
            logLine("unterminated quote in terminal command text: " + text);
            return false;
        }
    }
    if (command.empty()) {
        logLine("terminal started with -e but no command");
        return false;
    }
    const std::string commandProgram = resolveProgram(command.front());
    if (commandProgram.empty()) {
        logLine("program not found or not executable: " + command.front());
        return false;
    }
    const std::string runner = runnerPath();
    if (runner.empty() || !isExecutableFile(runner)) {
        // Without the runner the command's exit code could not be known;
        // starting it anyway would report success for any outcome.
        logLine("terminal runner missing next to the executable: " + runner);
        return false;
    }
    mStatusFile = createStatusFile();
    if (mStatusFile.empty()) {
        logLine(std::string("cannot create the terminal status file: ") + std::strerror(errno));
        return false;
    }
    finalArgv.assign(words.begin(), words.begin() + static_cast<std::ptrdiff_t>(dashE) + 1);
    finalArgv.front() = program;
    finalArgv.insert(finalArgv.end(), {runner, "--status", mStatusFile, "--", commandProgram});
    finalArgv.insert(finalArgv.end(), command.begin() + 1, command.end());
    mThroughTerminal = true;
    return true;
}

int OrbsSubproc::spawn(const std::vector<std::string>& argv) {
    if (mPid != 0) {
        logLine("spawn refused: child " + std::to_string(mPid) + " is still being observed");
        return 0;
    }
    discardStatusFile();
    mChildReaped = false;
    mExitCode = 0;
    mRunnerPid = 0;
    mRunnerReported = false;

    std::vector<std::string> finalArgv;
    if (!prepareArguments(argv, finalArgv)) {
        discardStatusFile();
        return 0;
    }

    SpawnSetup setup;
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    // The service ignores SIGPIPE and may block signals; the child starts
    // with every signal at its default and none blocked.
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(setup.attr(), &signals);
    sigfillset(&signals);
    posix_spawnattr_setsigdefault(setup.attr(), &signals);
    if (!mAttached) {
        // Own session: a Ctrl-C or hang-up of the service's terminal does
        // not reach the child, which outlives the service.
        flags |= POSIX_SPAWN_SETSID;
        posix_spawn_file_actions_addopen(setup.actions(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    }
    if (!mConsole) {
        posix_spawn_file_actions_addopen(setup.actions(), STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(setup.actions(), STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    }
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // A long-lived child must not hold the service's trace and log files.
    posix_spawn_file_actions_addclosefrom_np(setup.actions(), STDERR_FILENO + 1);
#endif
    posix_spawnattr_setflags(setup.attr(), flags);

    std::vector<char*> rawArgv;
    for (std::string& word : finalArgv) rawArgv.push_back(word.data());
    rawArgv.push_back(nullptr);

    pid_t pid = 0;
    const int error = posix_spawn(&pid, finalArgv.front().c_str(), setup.actions(), setup.attr(), rawArgv.data(), environ);
    if (error != 0) {
        logLine("cannot start " + finalArgv.front() + ": " + std::strerror(error));
        discardStatusFile();
        return 0;
    }
    mPid = pid;
    mChildAttached = mAttached;
    // The terminal's own options (such as +hold) go to the log; the
    // command's arguments are the caller's to trace.
    std::string terminalOptions;
    for (std::size_t i = 1; mThroughTerminal && i < finalArgv.size() && finalArgv[i - 1] != "-e"; ++i)
        terminalOptions += " " + finalArgv[i];
    logLine("started " + finalArgv.front() + terminalOptions + " as pid " + std::to_string(pid) +
            (mThroughTerminal ? " (command observed through " + mStatusFile + ")" : ""));
    return pid;
}

bool OrbsSubproc::monitor() {
    if (mPid == 0) return mChildReaped;  // true once a child has ended, false if none was started
    if (!mChildReaped) {
        int waitStatus = 0;
        pid_t result = 0;
        do {
            result = ::waitpid(mPid, &waitStatus, WNOHANG);
        } while (result < 0 && errno == EINTR);
        if (result < 0) {
            logLine("child " + std::to_string(mPid) + " can no longer be observed: " + std::strerror(errno));
            mPid = 0;
            mExitCode = kNoReport;
            return false;
        }
        if (result == 0) return true;  // still running
        mChildReaped = true;
        mExitCode = codeFromWaitStatus(waitStatus);
    }
    if (mThroughTerminal && !mRunnerReported) {
        readRunnerReport();
        // The terminal may close (window closed by the user) a moment before
        // the runner writes its report: wait for the runner as long as it
        // lives, then take one last look at the file.
        if (!mRunnerReported && processExists(mRunnerPid)) return true;
        if (!mRunnerReported) readRunnerReport();
        if (!mRunnerReported) {
            logLine("terminal ended without a report from the runner; terminal code " + std::to_string(mExitCode));
            if (mExitCode == 0) mExitCode = kNoReport;
        }
    }
    logLine("child " + std::to_string(mPid) + " ended with code " + std::to_string(mExitCode));
    mPid = 0;
    discardStatusFile();
    return true;
}

// The runner writes "started <pid>" when it begins and "exit <code>" when
// the command has ended; a line is taken only once complete.
void OrbsSubproc::readRunnerReport() {
    std::ifstream file(mStatusFile);
    std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::size_t start = 0;
    for (std::size_t end = content.find('\n'); end != std::string::npos; end = content.find('\n', start)) {
        std::istringstream line(content.substr(start, end - start));
        start = end + 1;
        std::string key;
        long value = 0;
        if (!(line >> key >> value)) continue;
        if (key == "started") mRunnerPid = static_cast<pid_t>(value);
        if (key == "exit") {
            mExitCode = static_cast<int>(value);
            mRunnerReported = true;
        }
    }
}

void OrbsSubproc::discardStatusFile() {
    if (mStatusFile.empty()) return;
    std::error_code ignored;
    fs::remove(mStatusFile, ignored);
    mStatusFile.clear();
}

void OrbsSubproc::terminateAttachedChild() {
    if (mPid == 0 || mChildReaped) return;
    logLine("terminating attached child " + std::to_string(mPid));
    ::kill(mPid, SIGTERM);
    // A child that ignores SIGTERM gets one second before SIGKILL, so that
    // the launcher's destruction never hangs.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    int waitStatus = 0;
    while (::waitpid(mPid, &waitStatus, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(mPid, SIGKILL);
            while (::waitpid(mPid, &waitStatus, 0) < 0 && errno == EINTR) {
            }
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    mChildReaped = true;
    mPid = 0;
}
