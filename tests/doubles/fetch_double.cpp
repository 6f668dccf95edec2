// Test double of the downloaders (AuxFetch, HubFetch) in the bin/ folder of
// a test installation.  It downloads nothing; process variables tell it:
//   ORBS_DOUBLE_RECORD    file receiving the arguments, one per line
//   ORBS_DOUBLE_PROGRESS  progress file, copied into RECORD.progress
//   ORBS_DOUBLE_AWAIT     percentage to wait for (at most 10 s) in the progress
//                         file first: the service writes it right after
//                         starting the downloader
//   ORBS_DOUBLE_STOP      then writes 101 into the progress file (the user
//                         interface asking the service to stop)
//   ORBS_DOUBLE_TAMPER    "remove" or "directory": then removes the progress
//                         file, or puts an empty directory in its place
//   ORBS_DOUBLE_EXIT      exit code (default 0)
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

int main(int argc, char** argv) {
    const char* record = std::getenv("ORBS_DOUBLE_RECORD");
    if (record != nullptr) {
        std::ofstream out(record, std::ios::binary);
        for (int i = 1; i < argc; ++i) out << argv[i] << "\n";
    }
    const char* progress = std::getenv("ORBS_DOUBLE_PROGRESS");
    auto progressText = [progress] {
        std::ostringstream text;
        text << std::ifstream(progress, std::ios::binary).rdbuf();
        return text.str();
    };
    if (const char* await = std::getenv("ORBS_DOUBLE_AWAIT"); progress != nullptr && await != nullptr)
        for (int i = 0; i < 1000; ++i) {
            const std::string text = progressText();
            if (text.substr(0, text.find('\n')) == await) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    if (progress != nullptr && record != nullptr) std::ofstream(std::string(record) + ".progress", std::ios::binary) << progressText();
    if (progress != nullptr && std::getenv("ORBS_DOUBLE_STOP") != nullptr)
        std::ofstream(progress, std::ios::binary | std::ios::trunc) << "101\nStop requested\n";
    if (const char* tamper = std::getenv("ORBS_DOUBLE_TAMPER"); progress != nullptr && tamper != nullptr) {
        std::filesystem::remove(progress);
        if (std::string(tamper) == "directory") std::filesystem::create_directory(progress);
    }
    const char* code = std::getenv("ORBS_DOUBLE_EXIT");
    return code ? std::atoi(code) : 0;
}
