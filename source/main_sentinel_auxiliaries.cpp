// Auxiliary files command: creates the four auxiliary sub-folders of the
// output folder and starts the downloader AuxFetch, in a terminal when one
// is installed, optionally waiting until it ends.
#include <array>
#include <fstream>
#include <optional>
#include <memory>
#include <string>
#include <vector>

#include "orbs_core_generic_utility.h"
#include "orbs_description_section.h"
#include "orbs_downloader_command.h"
#include "orbs_errors.h"
#include "orbs_runtime_services.h"
#include "orbs_utility_global_vars.h"
#include "sentinel_commands.h"

namespace {

constexpr const char* kSource = "source/main_sentinel_auxiliaries";
constexpr const char* kDescription = "PARAMETERS_INFO_SENTINEL_AUXILIARIES_CMD";
constexpr const char* kEnvironment = "IDL_ENVI_ENV";
constexpr const char* kMainSection = "MAIN_SENTINEL_AUXILIARIES_CMD";
constexpr const char* kServiceSection = "ORBSNT_SERVICE_SENTINELQC";
constexpr const char* kTerminal = "/usr/bin/xterm";
constexpr std::array<const char*, 4> kSubFolders = {"AUX_INS", "AUX_CAL", "AUX_POEORB", "AUX_RESORB"};

struct AuxiliariesRequest {
    bool wait = false;
    bool fullDownload = false;
    std::string outputFolder;  // ends in exactly one "/"
};

// A String option: its value, or none when the field holds no value.
std::optional<std::string> option(CSectionDataGroup& set, const std::string& field) {
    CSectionField* f = set.findField(std::string(kMainSection) + "." + field);
    if (f == nullptr || !f->isInitField()) return std::nullopt;
    return f->getString();
}

AuxiliariesRequest readRequest(CSectionDataGroup& set) {
    AuxiliariesRequest request;
    const std::string folderKey = std::string(kMainSection) + ".output_folder";
    request.outputFolder = set[folderKey].getString();
    // A blank folder would become "/" and put the four folders at the root
    // of the file system: it is refused instead.
    if (!fdfTrim(request.outputFolder))
        NORBS_ERROR_MANAGER::raiseError(ORBS_EC_FIELD_NOT_SET, kSource, __LINE__,
                                        folderKey + " is blank: name the folder of the auxiliary files");
    if (request.outputFolder.back() != '/') request.outputFolder += '/';
    request.fullDownload = option(set, "download_method") == std::optional<std::string>("full_download");
    request.wait = option(set, "wait_until_finish_flag") == std::optional<std::string>("OK");
    return request;
}

// The downloader's command text: every path quoted as one word, so that
// neither blanks nor quotes in a path change the arguments.
std::string downloaderCommand(const std::string& exe, const std::string& parameters, const AuxiliariesRequest& request,
                              bool terminal) {
    std::string command = quotedCommandWord(exe, kSource);
    if (terminal && !request.wait) command += " -w";
    if (!request.fullDownload) command += " -i";
    command += " -c " + quotedCommandWord(parameters, kSource);
    for (const char* folder : kSubFolders) command += " " + quotedCommandWord(request.outputFolder + folder, kSource);
    return command;
}

void progress(int percent, const char* text) { NORBS_ERROR_MANAGER::setProgressBar(percent, text, true, true); }

}  // namespace

int main_sentinel_auxiliaries(const char* parameters) {
    const std::string parameterFile = parameters ? parameters : "";
    auto set = std::make_unique<CSectionDataGroup>();
    if (set->initFromParameterFile(kDescription, kEnvironment, parameterFile, {kMainSection, kServiceSection}) == 0)
        NORBS_ERROR_MANAGER::raiseError(ORBS_EC_FILE_NOT_OPENED, kSource, __LINE__, parameterFile);
    const AuxiliariesRequest request = readRequest(*set);

    progress(0, "Preparing query ...");

    std::string exeDir;
    fdfGetEnv(exeDir, "ORBISCAN_EXE_DIR");
    const std::string exe = exeDir + "AuxFetch";
    for (const char* folder : kSubFolders) fdfCreateDir(request.outputFolder + folder);

    auto launcher = std::make_unique<OrbsSubproc>();
    launcher->setConsoleFlag(true);
    launcher->setAttachedFlag(false);
    launcher->setUnescapeFlag(true);

    const bool terminal = OrbsFile::isExisting(kTerminal);
    const std::string command = downloaderCommand(exe, parameterFile, request, terminal);
    std::vector<std::string> argv;
    if (terminal) {
        argv.push_back(kTerminal);
        if (request.wait) argv.push_back("+hold");
        argv.push_back("-e");
    }
    argv.push_back(command);

    if (NorvikCore::get_trace_level() > 9) {
        std::ofstream& trace = NorvikCore::get_process_trace_stream();
        trace << "\n" << (terminal ? "XTerm command = '" : "NO XTerm found command = '") << command << "'\n\n";
        trace.flush();
    }

    progress(10, "Spawning AuxFetch ...");
    sleepMs(0);
    if (launcher->spawn(argv) == 0) {
        launcher.reset();
        NORBS_ERROR_MANAGER::raiseError(260004, kSource, __LINE__, "Error spawning AuxFetch");
    }
    progress(50, "Downloading (see AuxFetch terminal) ...");

    int pid = launcher->getPid();
    if (request.wait) {
        while (pid != 0) {
            if (!launcher->monitor()) {
                launcher.reset();
                NORBS_ERROR_MANAGER::raiseError(260004, kSource, __LINE__, "Error monitoring AuxFetch");
            }
            pid = launcher->getPid();
            sleepMs(1000);
        }
    }
    launcher.reset();
    progress(99, request.wait ? "AuxFetch terminated" : "Downloading (see AuxFetch terminal) ...");

    sleepMs(2500);
    return 0;
}
