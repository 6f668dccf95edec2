// Product search and download command: reads the search, builds the hub
// query and starts the downloader HubFetch in a terminal, optionally
// waiting for it and checking how it ended.
#include <string>

#include "orbs_core_generic_utility.h"
#include "orbs_downloader_command.h"
#include "orbs_errors.h"
#include "orbs_runtime_services.h"
#include "orbs_scihub_get.h"
#include "orbs_utility_global_vars.h"
#include "sentinel_commands.h"

using NORBS_ERROR_MANAGER::traceDebug;

namespace {

constexpr const char* kSource = "source/main_scihub_get";
constexpr int kWaitingStartDelayMs = 2500;

// The unzip folder defaults to the progress file's folder.
void completeUnzipFolder(CHubSearchRequest& request) {
    if (request.m_unzip_to_dir.empty()) {
        traceDebug("m_progress_file_name = %s\n", request.m_progress_file_name.c_str());
        std::string drive, directory, name, extension;
        fdfSplitPath(request.m_progress_file_name, drive, directory, name, extension);
        if (!directory.empty() && !fdfExistFile(directory)) fdfCreateDir(directory);
        if (!directory.empty() && directory.back() == '/') directory.pop_back();
        request.m_unzip_to_dir = directory;
    }
    traceDebug("set m_unzip_to_dir = %s\n", request.m_unzip_to_dir.c_str());
}

// HubFetch's command text.  Every value is one quoted word: a quote in a
// path or in the query (productType:"GRD" becomes productType:\"GRD\")
// never makes a second argument.
std::string hubFetchCommand(const std::string& parameterFile, const CHubSearchRequest& request) {
    std::string command = quotedCommandWord(downloaderPath("HubFetch"), kSource);
    if (request.m_preview_only) command += " -p";
    if (request.m_unzip_files) command += " -u " + quotedCommandWord(request.m_unzip_to_dir, kSource);
    if (request.m_delete_zipped_files) command += " -d";
    if (!request.m_wait_until_finish) command += " -w";
    command += " -c " + quotedCommandWord(parameterFile, kSource);
    command += " -f " + quotedCommandWord(request.m_progress_file_name, kSource);
    command += " " + quotedCommandWord(request.m_query, kSource);
    return command;
}

void progress(int percent, const char* text) { NORBS_ERROR_MANAGER::setProgressBar(percent, text, true, true); }

}  // namespace

int main_scihub_get(const char* parameters) {
    const std::string parameterFile = parameters ? parameters : "";
    CHubSearchRequest request;
    if (!readHubSearchParameters(request, parameterFile))
        NORBS_ERROR_MANAGER::raiseError(ORBS_EC_FILE_NOT_OPENED, kSource, __LINE__, parameterFile);
    buildHubQuery(request);

    progress(0, "Preparing query ...");
    int startDelayMs = 0;
    if (request.m_wait_until_finish) {
        sleepMs(kWaitingStartDelayMs);
        startDelayMs = kWaitingStartDelayMs;
    }

    if (!OrbsFile::isExisting(CORBS_TERMINAL))
        NORBS_ERROR_MANAGER::raiseError(ORBS_EC_DOWNLOADER, kSource, __LINE__,
                                        "XTerm not found/installed under /usr/bin/xterm.");
    completeUnzipFolder(request);
    const std::string command = hubFetchCommand(parameterFile, request);
    const int exitCode = startDownloader({"HubFetch", kSource,
                                          downloaderArguments(command, true, request.m_wait_until_finish), true,
                                          request.m_wait_until_finish, startDelayMs});

    traceDebug("sp->getExitCode() = %u\n", static_cast<unsigned>(exitCode));
    if (exitCode != 0) {
        NORBS_ERROR_MANAGER::traceInfo("sp->getExitCode() = %u\n", static_cast<unsigned>(exitCode));
        NORBS_ERROR_MANAGER::raiseError(ORBS_EC_DOWNLOADER, kSource, __LINE__, "Error in HubFetch execution!");
    }
    progress(99, request.m_wait_until_finish ? "HubFetch terminated" : "Downloading (see HubFetch terminal) ...");

    sleepMs(2500);
    return 0;
}
