// File test and scaled pauses.
#include "orbs_file.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>

#include <sys/stat.h>

double pauseScale() {
    const char* text = std::getenv("ORBISCAN_PAUSE_SCALE");
    if (text == nullptr || *text == '\0') return 1.0;
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    // A malformed value keeps real time: shortening the waits of a
    // production run by mistake would hurt more than a slow test.
    if (end == text || *end != '\0' || !(value >= 0.0) || std::isinf(value)) return 1.0;
    return value;
}

namespace OrbsFile {

bool isExisting(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0;
}

}  // namespace OrbsFile

void sleepMs(unsigned long milliseconds) {
    const double scaled = static_cast<double>(milliseconds) * pauseScale();
    if (scaled > 0.0) std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(scaled));
}
