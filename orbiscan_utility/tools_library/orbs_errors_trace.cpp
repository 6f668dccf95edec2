// Process trace, process log and the debug trace file.
#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <set>
#include <string>

#include "orbs_errors.h"
#include "orbs_utility_global_vars.h"

namespace {

// Lines are formatted through the suite's 25 000-byte line buffer; longer
// results are cut to it.
constexpr std::size_t kLineBufferSize = 25000;
constexpr std::size_t kDebugBufferSize = 250000;

bool vformat(std::string& out, std::size_t limit, const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (needed < 0) return false;
    out.resize(static_cast<std::size_t>(needed) + 1);
    std::vsnprintf(out.data(), out.size(), format, args);
    out.resize(std::min(static_cast<std::size_t>(needed), limit - 1));
    return true;
}

std::string gTracePath;

// A trace or log that stops taking lines (a full file system) is said once
// on the standard error; the run goes on without it.
void noteFailedStream(const std::ofstream& stream, const char* name) {
    static std::set<std::string> noted;
    if (!stream.is_open() || stream.good() || !noted.insert(name).second) return;
    std::cerr << name << " cannot be written: " << std::strerror(errno != 0 ? errno : EIO) << "\n";
}

int writeTrace(const std::string& text) {
    std::ofstream& trace = NorvikCore::get_process_trace_stream();
    trace << text;
    trace.flush();
    noteFailedStream(trace, "Process.trace");
    return static_cast<int>(text.size());
}

// Formats and writes a trace line when the trace level is at least minLevel.
int vtrace(int minLevel, const char* format, va_list args) {
    if (NorvikCore::get_trace_level() < minLevel) return 0;
    std::string text;
    return vformat(text, kLineBufferSize, format, args) ? writeTrace(text) : 0;
}

}  // namespace

namespace NORBS_ERROR_MANAGER {

int traceInfo(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int written = vtrace(1, format, args);
    va_end(args);
    return written;
}

int traceDebug(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int written = vtrace(10, format, args);
    va_end(args);
    return written;
}

int traceAtLevel(int minLevel, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int written = vtrace(std::max(minLevel, 1), format, args);
    va_end(args);
    return written;
}

void traceToDebugFile(const char* format, ...) {
    const char* dir = std::getenv("ORBISCAN_TRACE_DEBUG_DIR");
    if (dir == nullptr) return;
    std::string text;
    va_list args;
    va_start(args, format);
    const bool ok = vformat(text, kDebugBufferSize, format, args);
    va_end(args);
    if (!ok) return;
    // The variable is a prefix: no separator is added.
    std::ofstream out(std::string(dir) + "trace_debug.txt", std::ios::app);
    out << text;
}

int logPrint(const char* format, ...) {
    std::ofstream& log = NorvikCore::get_process_log_stream();
    if (!log.good()) return 0;
    std::string text;
    va_list args;
    va_start(args, format);
    const bool ok = vformat(text, kLineBufferSize, format, args);
    va_end(args);
    if (!ok) return 0;
    log << text;
    log.flush();
    noteFailedStream(log, "Process.log");
    return log.good() ? 1 : 0;
}

int fdfOpenOrbiscanTrace(bool append) {
    std::string workingDir;
    if (fdfGetEnv(workingDir, "ORBISCAN_WORKING_DIR") != 0) return 0;
    NorvikCore::set_trace_level(10);
    std::ofstream& trace = NorvikCore::get_process_trace_stream();
    if (trace.is_open()) trace.close();
    trace.clear();
    gTracePath = workingDir + "Process.trace";
    trace.open(gTracePath, append ? std::ios::app : std::ios::trunc);
    return trace.is_open() ? 1 : 0;
}

std::string fdfProcessTracePath() { return gTracePath; }

int fdfOpenOrbiscanLog() {
    std::string workingDir;
    if (fdfGetEnv(workingDir, "ORBISCAN_WORKING_DIR") != 0) return 0;
    std::string dir = workingDir;
    if (const char* logDir = std::getenv("ORBISCAN_LOG_DIR")) {
        dir = logDir;
        for (int i = 0; i < 2; ++i)
            if (!dir.empty() && dir.back() == '/') dir.pop_back();
        dir += '/';
    }
    const std::string path = dir + "Process.log";
    traceDebug("fdfOpenOrbiscanLog(%s);\n", path.c_str());
    std::ofstream& log = NorvikCore::get_process_log_stream();
    if (log.is_open()) log.close();
    log.clear();
    log.open(path, std::ios::app);
    return 1;
}

}  // namespace NORBS_ERROR_MANAGER
