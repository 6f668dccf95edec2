// orbs_terminal_runner: runs one program inside a terminal window and
// reports how it ended.  A terminal emulator exits 0 whatever its command
// did, so the launcher (OrbsSubproc) starts
//     xterm ... -e orbs_terminal_runner --status FILE -- PROGRAM ARGS...
// and reads FILE to learn the program's own exit code.
//
// FILE receives "started <runner pid>" at once and "exit <code>" at the
// end.  <code> is the program's exit status, 128 + S when signal S killed
// it, 127 when it cannot be found and 126 when it cannot be executed.  The
// runner exits with the same code.  The program is started directly, never
// through a shell, with the runner's standard streams (the terminal).
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "orbs_subproc.h"

extern char** environ;

namespace {

// Ctrl-C and Ctrl-\ reach the program directly from the terminal, since it
// shares the runner's process group; the runner only has to outlive them.
constexpr int kIgnoredSignals[] = {SIGINT, SIGQUIT};
// A closed window hangs up the session leader, the runner, alone; it passes
// the hang-up (and a termination request) on, as a shell would, so that the
// program stops with the window and its end is still reported.
constexpr int kForwardedSignals[] = {SIGHUP, SIGTERM};

volatile sig_atomic_t gChild = 0;

extern "C" void forwardSignal(int signalNumber) {
    if (gChild > 0) ::kill(static_cast<pid_t>(gChild), signalNumber);
}

void report(int fd, const std::string& line) {
    if (fd < 0) return;
    const std::string text = line + "\n";
    // One write per line: the launcher takes only complete lines.
    if (::write(fd, text.data(), text.size()) < 0)
        std::fprintf(stderr, "orbs_terminal_runner: cannot write the status file: %s\n", std::strerror(errno));
}

int usage() {
    std::fprintf(stderr, "usage: orbs_terminal_runner [--status FILE] -- PROGRAM [ARGUMENTS...]\n");
    return OrbsSubproc::kNoReport;
}

}  // namespace

int main(int argc, char** argv) {
    int next = 1;
    const char* statusPath = nullptr;
    if (next + 1 < argc && std::strcmp(argv[next], "--status") == 0) {
        statusPath = argv[next + 1];
        next += 2;
    }
    if (next < argc && std::strcmp(argv[next], "--") == 0) ++next;
    if (next >= argc) return usage();

    // The status file is created by the launcher; it is never created here,
    // nor followed through a symbolic link.  When it cannot be opened (the
    // launcher has already gone away) the program still runs: reporting is
    // secondary to the work.
    int statusFd = -1;
    if (statusPath != nullptr) {
        statusFd = ::open(statusPath, O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
        if (statusFd < 0)
            std::fprintf(stderr, "orbs_terminal_runner: cannot open %s: %s\n", statusPath, std::strerror(errno));
    }
    report(statusFd, "started " + std::to_string(::getpid()));

    struct sigaction action {};
    sigemptyset(&action.sa_mask);
    action.sa_handler = SIG_IGN;
    for (int signalNumber : kIgnoredSignals) ::sigaction(signalNumber, &action, nullptr);
    action.sa_handler = forwardSignal;
    for (int signalNumber : kForwardedSignals) ::sigaction(signalNumber, &action, nullptr);

    // The forwarded signals are held back until the program's pid is known;
    // the program itself starts with every signal at its default, unblocked.
    sigset_t forwarded;
    sigemptyset(&forwarded);
    for (int signalNumber : kForwardedSignals) sigaddset(&forwarded, signalNumber);
    sigset_t previousMask;
    ::sigprocmask(SIG_BLOCK, &forwarded, &previousMask);

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t signals;
    sigfillset(&signals);
    posix_spawnattr_setsigdefault(&attr, &signals);
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attr, &signals);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    pid_t child = 0;
    const int error = ::posix_spawnp(&child, argv[next], nullptr, &attr, argv + next, environ);
    posix_spawnattr_destroy(&attr);
    if (error == 0) gChild = child;
    ::sigprocmask(SIG_SETMASK, &previousMask, nullptr);

    int code = 0;
    if (error != 0) {
        std::fprintf(stderr, "orbs_terminal_runner: cannot start %s: %s\n", argv[next], std::strerror(error));
        code = error == ENOENT ? OrbsSubproc::kNotFound : OrbsSubproc::kNotExecutable;
    } else {
        int waitStatus = 0;
        pid_t result = 0;
        do {
            result = ::waitpid(child, &waitStatus, 0);
        } while (result < 0 && errno == EINTR);
        if (result < 0)
            code = OrbsSubproc::kNoReport;
        else if (WIFEXITED(waitStatus))
            code = WEXITSTATUS(waitStatus);
        else
            code = OrbsSubproc::kSignalBase + WTERMSIG(waitStatus);
    }
    report(statusFd, "exit " + std::to_string(code));
    if (statusFd >= 0) ::close(statusFd);
    if (code != 0) std::fprintf(stderr, "orbs_terminal_runner: %s ended with code %d\n", argv[next], code);
    return code;
}
