// Pieces shared by the commands that start a downloader: the quoting of the
// command text, the terminal's argument vector, and starting and watching
// the downloader.
#pragma once

#include <string>
#include <vector>

// Error code of a value that cannot be passed to a downloader as one
// argument ("Command string not valid").
constexpr int ORBS_EC_COMMAND_TEXT = 70004;
// Error code of a downloader that cannot be started, observed or that failed.
constexpr int ORBS_EC_DOWNLOADER = 260004;

inline constexpr const char* CORBS_TERMINAL = "/usr/bin/xterm";

// `word` as one word of a downloader's command text (see
// OrbsSubproc::splitCommandText): quoted, its own quotes escaped.  A value
// that cannot be written so raises 70004 from `source`.
std::string quotedCommandWord(const std::string& word, const char* source);

// The downloader's path: the executables directory (ending in "/") and the name.
std::string downloaderPath(const std::string& name);

// The argument vector: the terminal (+hold when the command waits, so the
// window stays for the user to read), -e and the command text; without a
// terminal the command text alone.
std::vector<std::string> downloaderArguments(const std::string& command, bool terminal, bool wait);

struct DownloaderStart {
    std::string name;                // "HubFetch", "AuxFetch"
    const char* source = nullptr;    // source named by the raises
    std::vector<std::string> argv;   // see downloaderArguments
    bool terminal = true;
    bool wait = false;
    int startDelayMs = 0;            // pause between the progress report and the start
};

// Traces the command text (trace level above 9), reports "Spawning NAME
// ...", starts the downloader detached after the delay, reports
// "Downloading (see NAME terminal) ..." and, when waiting, polls it once a
// second until it ends.  Raises 260004 when it cannot be started or
// observed.  Returns its exit code (0 while it still runs).
int startDownloader(const DownloaderStart& start);
