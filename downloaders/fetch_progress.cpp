// Progress file and live terminal display.
#include "fetch_progress.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>

namespace NORBS_FETCH {

namespace {

constexpr int kStopRequest = 101;
constexpr auto kStopCheckInterval = std::chrono::milliseconds(500);

std::string formatDuration(double seconds) {
    if (!(seconds >= 0) || seconds > 99 * 3600) return "--:--";
    const long s = static_cast<long>(seconds + 0.5);
    char text[32];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

std::string progressLine(const std::string& label, std::uint64_t done, std::uint64_t total, double rate) {
    std::string line = label;
    if (total > 0) line += "  " + std::to_string(done * 100 / total) + "%";
    line += "  " + formatBytes(done) + (total > 0 ? " of " + formatBytes(total) : std::string());
    if (rate > 0) {
        line += "  " + formatBytes(static_cast<std::uint64_t>(rate)) + "/s";
        if (total > done) line += "  " + formatDuration(static_cast<double>(total - done) / rate) + " left";
    }
    return line;
}

}  // namespace

std::string formatBytes(std::uint64_t bytes) {
    const char* units[] = {"B", "kB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes);
    int unit = 0;
    while (value >= 1000.0 && unit < 4) {
        value /= 1000.0;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", value, units[unit]);
    return text;
}

CProgressFile::CProgressFile(std::string path, bool create) : mPath(std::move(path)), mCreate(create) {}

bool CProgressFile::write(const std::string& content) const {
    const int fd = ::open(mPath.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | (mCreate ? O_CREAT : 0), 0644);
    if (fd < 0) return false;
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return ::close(fd) == 0 && done == content.size();
}

bool CProgressFile::readStop() {
    std::ifstream in(mPath);
    int first = 0;
    return in >> first && first == kStopRequest;
}

bool CProgressFile::stopRequested() {
    if (mStop || mPath.empty()) return mStop;
    const auto now = std::chrono::steady_clock::now();
    if (now - mLastCheck < kStopCheckInterval) return false;
    mLastCheck = now;
    mStop = readStop();
    return mStop;
}

void CProgressFile::report(int percent, const std::string& step) {
    if (mPath.empty() || mStop) return;
    const std::string content = std::to_string(std::clamp(percent, 0, 100)) + "\n" + step + "\n";
    if (content == mLastWritten) return;
    // Looked at just before writing, so that a request made since the last
    // check is not written over.
    if ((mStop = readStop())) return;
    if (write(content)) mLastWritten = content;
    mLastPercent = std::clamp(percent, 0, 100);
}

CTerminalDisplay::CTerminalDisplay() : mTerminal(::isatty(STDOUT_FILENO) == 1) {}

void CTerminalDisplay::erase() {
    if (mTerminal && mLines > 0) std::cout << "\x1b[" << mLines << "F\x1b[J";
    mLines = 0;
}

void CTerminalDisplay::message(const std::string& line) {
    erase();
    std::cout << line << std::endl;
}

void CTerminalDisplay::clear() {
    erase();
    std::cout.flush();
}

void CTerminalDisplay::show(const std::vector<TransferView>& transfers, const TotalView& total) {
    const std::string totalLine =
        progressLine("Total: " + std::to_string(total.itemsDone) + " of " + std::to_string(total.itemsTotal) + " done,",
                     total.done, total.total, total.bytesPerSecond);
    if (!mTerminal) {
        const auto now = std::chrono::steady_clock::now();
        if (now - mLastPlain < std::chrono::seconds(10)) return;
        mLastPlain = now;
        std::cout << totalLine << std::endl;
        return;
    }
    erase();
    for (const TransferView& t : transfers)
        std::cout << progressLine("  " + t.name.substr(0, 60), t.done, t.total, t.bytesPerSecond) << "\n";
    std::cout << totalLine << "\n";
    std::cout.flush();
    mLines = static_cast<int>(transfers.size()) + 1;
}

}  // namespace NORBS_FETCH
