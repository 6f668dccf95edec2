// The figures a benchmark hands to bench/run_all.sh, besides its own
// report: one line per figure,
//   RESULT|benchmark|measure|ours|our seconds|peer|peer seconds|our peak MB|peer peak MB
// with both times from the same run (run_all.sh makes the ratio) and the
// peaks empty when the benchmark does not measure them.
#pragma once

#include <cmath>
#include <cstdio>
#include <string>

inline void printResult(const std::string& benchmark, const std::string& measure, const std::string& ours,
                        double ourSeconds, const std::string& peer, double peerSeconds, double ourPeakMb = NAN,
                        double peerPeakMb = NAN) {
    const auto megabytes = [](double mb) {
        char text[32] = "";
        if (!std::isnan(mb)) std::snprintf(text, sizeof text, "%.3g", mb);
        return std::string(text);
    };
    std::printf("RESULT|%s|%s|%s|%.6g|%s|%.6g|%s|%s\n", benchmark.c_str(), measure.c_str(), ours.c_str(), ourSeconds,
                peer.c_str(), peerSeconds, megabytes(ourPeakMb).c_str(), megabytes(peerPeakMb).c_str());
}
