// Shared set-up of the fuzz targets.  Each target feeds one input to one
// reader of the core library or the runtime, in a process that lives for
// millions of inputs, so the process-wide state of the core is pinned here:
// exit mode off (a raise throws CErrorExceptionManager instead of ending the
// process), instant pauses, no runtime log, and the files a reader needs in
// one scratch directory of the process, removed when it exits.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include "orbs_core_generic_utility.h"
#include "orbs_errors.h"
#include "orbs_runtime.h"
#include "orbs_utility_global_vars.h"

namespace orbs_fuzz {
namespace fs = std::filesystem;

// A file of the scratch directory ("": the directory, with its slash); on
// /dev/shm when there is one, so that the readers' fsync calls cost nothing.
inline std::string scratch(const std::string& name) {
    static const struct Dir {
        fs::path path = (fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path()) /
                        ("orbs_fuzz_" + std::to_string(::getpid()));
        Dir() { fs::create_directories(path); }
        ~Dir() {
            std::error_code ignored;
            fs::remove_all(path, ignored);
        }
    } dir;
    return (dir.path / name).string();
}

// The core and the runtime in the state every target expects.
inline void pinProcessState() {
    setenv("ORBISCAN_PAUSE_SCALE", "0", 1);
    setenv("ORBISCAN_ERROR_PAUSE_SECONDS", "0", 1);
    NorvikCore::ensureInitialised();
    NorvikCore::set_is_exit_enable_flag(false);
    NorvikCore::set_trace_level(0);
    OrbsLog::logToTerminal(false);
    OrbsLog::logToFile(false);
    OrbsLog::logToSecondaryFile(nullptr);
    scratch("");
}

// A target's LLVMFuzzerInitialize: the process state pinned, then the
// statements given.
#define ORBS_FUZZ_INITIALIZE(...)                          \
    extern "C" int LLVMFuzzerInitialize(int*, char***) {   \
        orbs_fuzz::pinProcessState();                      \
        __VA_ARGS__;                                       \
        return 0;                                          \
    }

// Writes the input as the whole content of a scratch file; its path.
inline std::string writeInput(const std::string& name, const std::uint8_t* data, std::size_t size) {
    const std::string path = scratch(name);
    if (fdfWriteWholeFile(path, std::string_view(reinterpret_cast<const char*>(data), size)) != 0) std::abort();
    return path;
}

inline std::string_view asText(const std::uint8_t* data, std::size_t size) {
    return std::string_view(reinterpret_cast<const char*>(data), size);
}

// Runs a reader; a raise, or the refusal the reader documents instead (the
// downloaders' CFetchFailure), is caught, anything else escapes and is
// reported by the fuzzer.
template <class Refusal = CErrorExceptionManager, class Reader>
void tolerateRaise(Reader&& reader) {
    try {
        reader();
    } catch (const Refusal&) {
    }
}
}  // namespace orbs_fuzz
