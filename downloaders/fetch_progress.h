// What the user sees while a downloader runs: the service's progress file
// (two lines: percentage, step text; 101 in line 1 asks for a stop) and a
// live display in the terminal.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace NORBS_FETCH {

class CProgressFile {
public:
    // An empty path: no file, never a stop request.  Without `create` the
    // file is only written while it exists (a file that its owner removed
    // at the end of its run is not brought back).
    explicit CProgressFile(std::string path, bool create = true);

    // True once line 1 of the file reads 101; the file is looked at no more
    // than twice a second, and a stop request once seen stays.
    bool stopRequested();
    // Writes percentage (0..100) and step text, unless a stop was requested
    // (the 101 stays in place for the service to see).  Unchanged texts are
    // not rewritten.
    void report(int percent, const std::string& step);
    // A new step text at the last percentage written.
    void step(const std::string& text) { report(mLastPercent, text); }
    const std::string& path() const { return mPath; }

private:
    bool readStop();
    bool write(const std::string& content) const;

    std::string mPath;
    bool mCreate;
    bool mStop = false;
    std::chrono::steady_clock::time_point mLastCheck{};
    std::string mLastWritten;
    int mLastPercent = 0;
};

// One transfer on the live display.
struct TransferView {
    std::string name;
    std::uint64_t done = 0;
    std::uint64_t total = 0;   // 0 when not known yet
    double bytesPerSecond = 0;
};

struct TotalView {
    std::uint64_t done = 0;
    std::uint64_t total = 0;
    double bytesPerSecond = 0;
    int itemsDone = 0;
    int itemsTotal = 0;
};

// On a terminal: a block of lines (one per transfer and a total) redrawn in
// place, with messages scrolling above it.  Elsewhere: the messages and a
// total line every 10 seconds.
class CTerminalDisplay {
public:
    CTerminalDisplay();
    void message(const std::string& line);
    void show(const std::vector<TransferView>& transfers, const TotalView& total);
    void clear();

private:
    void erase();

    bool mTerminal;
    int mLines = 0;
    std::chrono::steady_clock::time_point mLastPlain{};
};

// "1.5 GB", "12.0 MB", "512 B" (powers of 1000, as the hubs give sizes).
std::string formatBytes(std::uint64_t bytes);

}  // namespace NORBS_FETCH
