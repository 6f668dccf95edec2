// A private Xvfb server for tests that run the real terminal: started on a
// free display with the runtime's own launcher (attached, so it ends with
// the test program), and named in DISPLAY.
#pragma once

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "orbs_subproc.h"

class PrivateXServer {
public:
    // True when a server runs (started now or earlier); false without xterm
    // or Xvfb on the machine.
    static bool start() {
        namespace fs = std::filesystem;
        if (sServer) return true;
        if (!fs::exists("/usr/bin/xterm") || !fs::exists("/usr/bin/Xvfb")) return false;
        int display = 100 + ::getpid() % 500;
        auto socket = [&display] { return fs::path("/tmp/.X11-unix/X" + std::to_string(display)); };
        while (fs::exists(socket()) || fs::exists("/tmp/.X" + std::to_string(display) + "-lock")) ++display;
        const std::string name = ":" + std::to_string(display);
        sServer = std::make_unique<OrbsSubproc>();
        if (sServer->spawn({"/usr/bin/Xvfb", name, "-nolisten", "tcp"}) == 0) return stop();
        for (int i = 0; i < 1500 && !fs::exists(socket()) && sServer->monitor() && sServer->getPid() != 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!fs::exists(socket()) || sServer->getPid() == 0) return stop();
        ::setenv("DISPLAY", name.c_str(), 1);
        return true;
    }
    static bool stop() {
        sServer.reset();
        return false;
    }

private:
    static inline std::unique_ptr<OrbsSubproc> sServer;
};
