// File test and pauses of the runtime.
#pragma once

#include <string>

namespace OrbsFile {

// True when something exists at `path` (a file, a directory, or what a
// symbolic link points to); a dangling link or an empty path is false.
bool isExisting(const std::string& path);

}  // namespace OrbsFile

// A process variable holding a non-negative number, or `fallback` when it
// is unset or not such a number: a malformed value keeps the safe default
// (shortening the waits of a production run by mistake would hurt more
// than a slow test).
double nonNegativeVariable(const char* name, double fallback);

// The factor on every wait of the program (also for waits that are
// scheduled, not slept): the process variable ORBISCAN_PAUSE_SCALE, 1 (real
// time) by default, 0 for no delay at all.  The core library and the
// downloaders scale their own pauses by it too.
double pauseScale();

// Returns after `milliseconds`, scaled by pauseScale().
void sleepMs(unsigned long milliseconds);
