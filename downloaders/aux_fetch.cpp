// AuxFetch: fetches the Sentinel-1 auxiliary files (instrument, calibration,
// precise and restituted orbit files) that products or a period need.
//   AuxFetch [-w] [-i] -c PAR AUX_INS AUX_CAL AUX_POEORB AUX_RESORB
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "aux_run.h"
#include "aux_scope.h"
#include "aux_settings.h"
#include "fetch_program.h"

namespace {

using namespace NORBS_FETCH;
using namespace NORBS_AUX;

constexpr const char* kUsage =
    "usage: AuxFetch [-w] [-i] -c PARAMETER_FILE AUX_INS AUX_CAL AUX_POEORB AUX_RESORB\n"
    "  -w  wait for Enter before ending (when run in a window that closes at the end)\n"
    "  -i  fetch only the files not already present and verified in the folders\n"
    "What to fetch, and from where, comes from ORBSNT_SERVICE_SENTINELQC of the parameter file.\n";

struct Arguments {
    bool waitForEnter = false;
    RunOptions run;
    std::string parameters;
};

Arguments parseArguments(int argc, char** argv) {
    Arguments a;
    opterr = 0;
    for (int option; (option = getopt(argc, argv, "+wic:")) != -1;) {
        switch (option) {
        case 'w': a.waitForEnter = true; break;
        case 'i': a.run.incremental = true; break;
        case 'c': a.parameters = optarg; break;
        default: throw unknownOption(optopt);
        }
    }
    if (a.parameters.empty() || argc - optind != 4)
        throw CFetchFailure(Outcome::kBadArguments, "Give -c PARAMETER_FILE and the four folders AUX_INS AUX_CAL "
                                                    "AUX_POEORB AUX_RESORB");
    for (std::size_t i = 0; i < 4; ++i) a.run.folders[i] = argv[optind + static_cast<int>(i)];
    return a;
}

// The service's progress file, when the environment the service passed on
// names it (the same rule as the service's: the variable of the file, else
// of its folder, else of the working folder).
std::string serviceProgressFile() {
    auto variable = [](const char* name) {
        const char* value = std::getenv(name);
        return std::string(value != nullptr ? value : "");
    };
    if (const std::string file = variable("ORBISCAN_WORKING_FILE"); !file.empty()) return file;
    for (const char* folder : {"ORBISCAN_BATCH_DIR", "ORBISCAN_WORKING_DIR"})
        if (const std::string dir = variable(folder); !dir.empty())
            return (std::filesystem::path(dir) / "Process.working").string();
    return {};
}

Outcome runAuxFetch(const Arguments& args, CProgressFile& progress, CTerminalDisplay& display) {
    const auto parameters = CParameterFile::load(args.parameters);
    if (!parameters) throw CFetchFailure(Outcome::kBadArguments, "Cannot read the parameter file " + args.parameters);
    const AuxSettings settings = readAuxSettings(*parameters);
    const Scope scope = readScope(*parameters, nowUtc());
    display.message("AuxFetch: auxiliary files for " + scope.description +
                    (args.run.incremental ? ", only those not already present" : ", full download"));
    for (const std::string& note : scope.notes) display.message("  " + note);
    return NORBS_AUX::runAuxFetch(settings, scope, args.run, progress, display);
}

}  // namespace

int main(int argc, char** argv) {
    return runProgram("AuxFetch", kUsage, [&](ProgramRun& run) {
        const Arguments args = parseArguments(argc, argv);
        run.waitAtEnd = args.waitForEnter;
        // Only written while the service's file exists: a service that did
        // not wait has removed it, and must not find it again.
        run.progress.emplace(serviceProgressFile(), false);
        return runAuxFetch(args, *run.progress, run.display);
    });
}
