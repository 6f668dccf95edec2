// The frame of a downloader program.
#include "fetch_program.h"

#include <curl/curl.h>
#include <poll.h>
#include <unistd.h>

#include <iostream>

#include "orbs_file.h"

namespace NORBS_FETCH {

namespace {

// How long -w waits for Enter before the window closes anyway.
constexpr double kCloseWaitSeconds = 600;

// -w: the window closes when the program ends, so the user gets time to read.
void waitForEnter() {
    if (::isatty(STDIN_FILENO) != 1) return;
    const double seconds = kCloseWaitSeconds * pauseScale();
    std::cout << "Press Enter to close this window (it closes by itself in " << static_cast<int>(seconds)
              << " s)." << std::endl;
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (::poll(&input, 1, static_cast<int>(seconds * 1000)) > 0) {
        std::string line;
        std::getline(std::cin, line);
    }
}

}  // namespace

CFetchFailure unknownOption(int option) {
    return CFetchFailure(Outcome::kBadArguments,
                         std::string("Unknown option or missing value: -") + static_cast<char>(option));
}

int runProgram(const std::string& name, const std::string& usage, const std::function<Outcome(ProgramRun&)>& body) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    Outcome outcome = Outcome::kDone;
    bool waitAtEnd = false;
    {
        ProgramRun run;
        try {
            outcome = body(run);
        } catch (const CFetchFailure& failure) {
            outcome = failure.outcome();
            run.display.clear();
            if (outcome == Outcome::kBadArguments && !run.progress) std::cerr << usage;
            if (run.progress && outcome != Outcome::kStopped)
                run.progress->step(name + " failed: " + failure.what());
            std::cerr << name << ": " << failure.what() << std::endl;
        } catch (const std::exception& failure) {
            outcome = Outcome::kInternal;
            run.display.clear();
            if (run.progress) run.progress->step(name + " failed: " + failure.what());
            std::cerr << name << ": unexpected failure: " << failure.what() << std::endl;
        }
        waitAtEnd = run.waitAtEnd;
    }
    if (waitAtEnd) waitForEnter();
    curl_global_cleanup();
    return exitStatus(outcome);
}

}  // namespace NORBS_FETCH
