// Runtime log routing and start-up.
#include "orbs_runtime.h"

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iostream>

#include <unistd.h>

namespace {

struct LogRouting {
    bool terminal = true;
    bool file = true;
    std::ostream* secondary = nullptr;
    std::ofstream runtimeFile;
};

// Never destroyed: the destructors of other static objects (a child process
// ended as the process exits) still write their lines after the static
// objects made later are gone.
LogRouting& routing() {
    static LogRouting* const instance = new LogRouting;
    return *instance;
}

bool gInitialised = false;
struct sigaction gPreviousSigpipe {};

// The runtime's own log file, used only when file logging is on.
std::string runtimeLogPath() {
    const char* dir = std::getenv("ORBISCAN_RUNTIME_LOG_DIR");
    return std::string(dir ? dir : "/tmp") + "/orbs_runtime.log";
}

}  // namespace

namespace OrbsLog {

void logToTerminal(bool enable) { routing().terminal = enable; }

void logToFile(bool enable) {
    LogRouting& r = routing();
    r.file = enable;
    if (!enable && r.runtimeFile.is_open()) r.runtimeFile.close();
}

void logToSecondaryFile(void* stream) { routing().secondary = static_cast<std::ostream*>(stream); }

void write(const std::string& line) {
    LogRouting& r = routing();
    const std::string text = "[runtime] " + line + "\n";
    if (r.terminal) std::clog << text;
    if (r.file) {
        if (!r.runtimeFile.is_open()) r.runtimeFile.open(runtimeLogPath(), std::ios::app);
        r.runtimeFile << text << std::flush;
    }
    if (r.secondary != nullptr && r.secondary->good()) *r.secondary << text << std::flush;
}

}  // namespace OrbsLog

namespace Orbiscan {

bool init() {
    if (gInitialised) return true;
    // A downloader that closes its end of a pipe must not kill the service:
    // writes report EPIPE instead.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    if (sigaction(SIGPIPE, &ignore, &gPreviousSigpipe) != 0) return false;
    gInitialised = true;
    OrbsLog::write("runtime initialised (pid " + std::to_string(getpid()) + ")");
    return true;
}

bool free() {
    if (!gInitialised) return false;
    OrbsLog::write("runtime released");
    const bool restored = sigaction(SIGPIPE, &gPreviousSigpipe, nullptr) == 0;
    gInitialised = false;
    return restored;
}

bool isInitialised() { return gInitialised; }

}  // namespace Orbiscan
