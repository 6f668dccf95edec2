// File test and scaled pauses.
#include "orbs_file.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>

#include <sys/stat.h>

double nonNegativeVariable(const char* name, double fallback) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0') return fallback;
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || !(value >= 0.0) || std::isinf(value)) return fallback;
    return value;
}

double pauseScale() { return nonNegativeVariable("ORBISCAN_PAUSE_SCALE", 1.0); }

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
