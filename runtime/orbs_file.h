// File test and pauses of the runtime.
#pragma once

#include <string>

namespace OrbsFile {

// True when something exists at `path` (a file, a directory, or what a
// symbolic link points to); a dangling link or an empty path is false.
bool isExisting(const std::string& path);

}  // namespace OrbsFile

// Returns after `milliseconds`, scaled by the process variable
// ORBISCAN_PAUSE_SCALE: a non-negative number, 1 (real time) when unset or
// not such a number, 0 for no delay at all.  The core library scales its own
// pauses by the same variable.
void sleepMs(unsigned long milliseconds);
// The factor sleepMs applies (also for waits that are scheduled, not slept).
double pauseScale();
