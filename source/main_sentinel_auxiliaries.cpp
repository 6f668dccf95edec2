// Auxiliary files command: creates the four auxiliary sub-folders of the
// output folder and starts the downloader AuxFetch, in a terminal when one
// is installed, optionally waiting until it ends.
#include <array>
#include <optional>
#include <memory>
#include <string>
#include <vector>

#include "orbs_core_generic_utility.h"
#include "orbs_description_section.h"
#include "orbs_command_parameters.h"
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
constexpr std::array<const char*, 4> kSubFolders = {"AUX_INS", "AUX_CAL", "AUX_POEORB", "AUX_RESORB"};

struct AuxiliariesRequest {
    bool wait = false;
    bool fullDownload = false;
    std::string outputFolder;  // ends in exactly one "/"
};

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
    const std::string main = std::string(kMainSection) + ".";
    request.fullDownload = optionalText(set, main + "download_method") == std::optional<std::string>("full_download");
    request.wait = isOkOption(set, main + "wait_until_finish_flag");
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

    const std::string exe = downloaderPath("AuxFetch");
    for (const char* folder : kSubFolders) fdfCreateDir(request.outputFolder + folder);

    const bool terminal = OrbsFile::isExisting(CORBS_TERMINAL);
    const std::string command = downloaderCommand(exe, parameterFile, request, terminal);
    startDownloader({"AuxFetch", kSource, downloaderArguments(command, terminal, request.wait), terminal,
                     request.wait, 0});
    progress(99, request.wait ? "AuxFetch terminated" : "Downloading (see AuxFetch terminal) ...");

    sleepMs(2500);
    return 0;
}
