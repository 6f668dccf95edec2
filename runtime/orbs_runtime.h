// The suite's runtime services used by the service executable: log routing
// and the runtime's start and release.
#pragma once

#include <ostream>
#include <string>

namespace OrbsLog {

// Where the runtime's own log lines go: the terminal, the runtime's log
// file and a secondary stream (the process trace of the command).
void logToTerminal(bool enable);
void logToFile(bool enable);
// `stream` is a std::ostream*; null stops the secondary routing.
void logToSecondaryFile(void* stream);

// Writes one runtime log line to every enabled destination.
void write(const std::string& line);

}  // namespace OrbsLog

namespace Orbiscan {

// Prepares the runtime for one run; true when it is ready.
bool init();
// Releases what init prepared; true when everything was released.
bool free();
bool isInitialised();

}  // namespace Orbiscan
