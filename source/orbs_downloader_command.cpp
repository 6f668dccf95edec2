#include "orbs_downloader_command.h"

#include <fstream>
#include <memory>

#include "orbs_errors.h"
#include "orbs_runtime_services.h"
#include "orbs_utility_global_vars.h"

std::string quotedCommandWord(const std::string& word, const char* source) {
    const std::optional<std::string> quoted = OrbsSubproc::quoteWord(word);
    if (!quoted)
        NORBS_ERROR_MANAGER::raiseError(ORBS_EC_COMMAND_TEXT, source, __LINE__,
                                        "cannot be passed to the downloader as one argument: " + word);
    return *quoted;
}

std::string downloaderPath(const std::string& name) {
    std::string exeDir;
    fdfGetEnv(exeDir, "ORBISCAN_EXE_DIR");
    return exeDir + name;
}

std::vector<std::string> downloaderArguments(const std::string& command, bool terminal, bool wait) {
    if (!terminal) return {command};
    std::vector<std::string> argv{CORBS_TERMINAL};
    if (wait) argv.push_back("+hold");
    argv.push_back("-e");
    argv.push_back(command);
    return argv;
}

int startDownloader(const DownloaderStart& start) {
    auto launcher = std::make_unique<OrbsSubproc>();
    launcher->setConsoleFlag(true);
    launcher->setAttachedFlag(false);
    launcher->setUnescapeFlag(true);

    if (NorvikCore::get_trace_level() > 9) {
        std::ofstream& trace = NorvikCore::get_process_trace_stream();
        trace << "\n" << (start.terminal ? "XTerm command = '" : "NO XTerm found command = '") << start.argv.back()
              << "'\n\n";
        trace.flush();
    }

    NORBS_ERROR_MANAGER::setProgressBar(10, ("Spawning " + start.name + " ...").c_str(), true, true);
    sleepMs(start.startDelayMs);
    // The launcher goes before any raise: a raise ends the process.
    auto fail = [&launcher, &start](int line, const std::string& what) {
        launcher.reset();
        NORBS_ERROR_MANAGER::raiseError(ORBS_EC_DOWNLOADER, start.source, line, what + " " + start.name);
    };
    if (launcher->spawn(start.argv) == 0) fail(__LINE__, "Error spawning");
    NORBS_ERROR_MANAGER::setProgressBar(50, ("Downloading (see " + start.name + " terminal) ...").c_str(), true, true);

    int pid = launcher->getPid();
    while (start.wait && pid != 0) {
        if (!launcher->monitor()) fail(__LINE__, "Error monitoring");
        pid = launcher->getPid();
        sleepMs(1000);
    }
    return launcher->getExitCode();
}
