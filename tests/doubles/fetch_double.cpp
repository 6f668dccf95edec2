// Test double of the downloaders (AuxFetch, HubFetch), placed in the bin/
// folder of a test installation.  It downloads nothing; process variables
// tell it what to do:
//   ORBS_DOUBLE_RECORD    file receiving the arguments, one per line
//   ORBS_DOUBLE_PROGRESS  progress file to copy into RECORD.progress while running
//   ORBS_DOUBLE_AWAIT     percentage to wait for (at most 10 s) in the progress
//                         file before copying it: the service writes its
//                         progress right after starting the downloader
//   ORBS_DOUBLE_STOP      when set, writes 101 into the progress file (the
//                         user interface asking the service to stop), after
//                         the wait for ORBS_DOUBLE_AWAIT
//   ORBS_DOUBLE_TAMPER    "remove" or "directory": after the wait for
//                         ORBS_DOUBLE_AWAIT, removes the progress file, or puts
//                         an empty directory in its place (the user interface
//                         or the user meddling while the service waits)
//   ORBS_DOUBLE_EXIT      exit code (default 0)
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace {
std::string firstLine(const char* path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}
}  // namespace

int main(int argc, char** argv) {
    const char* record = std::getenv("ORBS_DOUBLE_RECORD");
    if (record != nullptr) {
        std::ofstream out(record, std::ios::binary);
        for (int i = 1; i < argc; ++i) out << argv[i] << "\n";
    }
    const char* progress = std::getenv("ORBS_DOUBLE_PROGRESS");
    if (const char* await = std::getenv("ORBS_DOUBLE_AWAIT"); progress != nullptr && await != nullptr)
        for (int i = 0; i < 1000 && firstLine(progress) != await; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (progress != nullptr && record != nullptr) {
        std::ifstream in(progress, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        std::ofstream(std::string(record) + ".progress", std::ios::binary) << text.str();
    }
    if (progress != nullptr && std::getenv("ORBS_DOUBLE_STOP") != nullptr)
        std::ofstream(progress, std::ios::binary | std::ios::trunc) << "101\nStop requested\n";
    if (const char* tamper = std::getenv("ORBS_DOUBLE_TAMPER"); progress != nullptr && tamper != nullptr) {
        std::filesystem::remove(progress);
        if (std::string(tamper) == "directory") std::filesystem::create_directory(progress);
    }
    const char* code = std::getenv("ORBS_DOUBLE_EXIT");
    return code ? std::atoi(code) : 0;
}
