// Test double of a downloader: does what its options say, in order.
//   --record FILE   writes every argument it received to FILE, each ended by a NUL
//   --sleep-ms N    sleeps N milliseconds
//   --signal N      kills itself with signal N
//   --exit N        exits with code N
// Other arguments are only there to be recorded.
#include <chrono>
#include <csignal>
#include <fstream>
#include <string>
#include <thread>

int main(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--record") {
            std::ofstream out(argv[++i], std::ios::binary);
            for (int j = 1; j < argc; ++j) out << argv[j] << '\0';
        } else if (option == "--sleep-ms") {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::stol(argv[++i])));
        } else if (option == "--signal") {
            const int signalNumber = std::stoi(argv[++i]);
            std::signal(signalNumber, SIG_DFL);
            std::raise(signalNumber);
        } else if (option == "--exit") {
            return std::stoi(argv[++i]);
        }
    }
    return 0;
}
