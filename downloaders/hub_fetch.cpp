// HubFetch: searches a Sentinel product hub with the query of the product
// search command and downloads what it finds.
//   HubFetch [-p] [-u UNZ] [-d] [-w] -c PAR -f PROG QUERY
#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "fetch_auth.h"
#include "fetch_failure.h"
#include "fetch_program.h"
#include "fetch_progress.h"
#include "hub_catalogue.h"
#include "hub_download.h"
#include "hub_preview.h"
#include "hub_settings.h"

namespace {

using namespace NORBS_FETCH;
using namespace NORBS_HUB;

constexpr const char* kUsage =
    "usage: HubFetch [-p] [-u UNZIP_DIR] [-d] [-w] -c PARAMETER_FILE -f PROGRESS_FILE QUERY\n"
    "  -p  preview: search only, write PROGRESS_FILE_preview.csv, .geojson and .svg\n"
    "  -u  extract each verified archive into UNZIP_DIR\n"
    "  -d  delete each archive once extracted\n"
    "  -w  wait for Enter before ending (when run in a window that closes at the end)\n"
    "Hub addresses and account come from the parameter file, never from the command line.\n";

struct Arguments {
    bool preview = false;
    std::optional<std::string> unzipTo;
    bool deleteArchives = false;
    bool waitForEnter = false;
    std::string parameters;
    std::string progress;
    std::string query;
};

Arguments parseArguments(int argc, char** argv) {
    Arguments a;
    opterr = 0;
    for (int option; (option = getopt(argc, argv, "+pu:dwc:f:")) != -1;) {
        switch (option) {
        case 'p': a.preview = true; break;
        case 'u': a.unzipTo = optarg; break;
        case 'd': a.deleteArchives = true; break;
        case 'w': a.waitForEnter = true; break;
        case 'c': a.parameters = optarg; break;
        case 'f': a.progress = optarg; break;
        default: throw unknownOption(optopt);
        }
    }
    if (a.parameters.empty() || a.progress.empty() || optind != argc - 1)
        throw CFetchFailure(Outcome::kBadArguments, "Give -c PARAMETER_FILE, -f PROGRESS_FILE and one QUERY");
    a.query = argv[optind];
    return a;
}

std::string summaryLine(const std::string& verb, int count, const char* what) {
    return count > 0 ? verb + std::to_string(count) + what : std::string();
}

Outcome runHubFetch(const Arguments& args, CProgressFile& progress, CTerminalDisplay& display) {
    const auto parameters = CParameterFile::load(args.parameters);
    if (!parameters) throw CFetchFailure(Outcome::kBadArguments, "Cannot read the parameter file " + args.parameters);
    const HubSettings settings = readHubSettings(*parameters);
    std::set<Origin> trusted;
    for (const std::string& url : {settings.serviceUrl, settings.identityUrl, settings.downloadUrl})
        if (auto origin = originOf(url)) trusted.insert(*origin);

    std::unique_ptr<CAuthorizer> authorizer;
    if (settings.api == HubApi::kDhus) {
        if (settings.credentials.empty())
            throw CFetchFailure(Outcome::kBadArguments,
                                "No hub credentials: fill ORBSNT_USER_SCIHUB username and password, or ~/.netrc");
        authorizer = std::make_unique<CBasicAuthorizer>(trusted, settings.credentials.user, settings.credentials.password);
    } else {
        authorizer = std::make_unique<CTokenSession>(trusted, settings.identityUrl, settings.clientId,
                                                     settings.credentials, settings.http);
    }
    CHttpClient client(settings.http, authorizer.get(), [&] { return progress.stopRequested(); });

    progress.report(1, "HubFetch: searching " + settings.serviceUrl + " ...");
    display.message("Searching " + settings.serviceUrl + " ...");
    const LegacyQuery query = parseLegacyQuery(args.query);
    auto found = [&](std::size_t n) { progress.step("HubFetch: searching, " + std::to_string(n) + " products found"); };
    std::vector<Product> products;
    if (settings.api == HubApi::kDhus) {
        if (query.empty()) throw CFetchFailure(Outcome::kQueryRefused, "Empty query: name at least one filter");
        products = searchDhus(client, settings.serviceUrl, args.query, found);
    } else {
        const std::string filter = odataFilter(query);
        if (filter.empty()) throw CFetchFailure(Outcome::kQueryRefused, "Empty query: name at least one filter");
        products = searchOData(client, settings.serviceUrl, settings.downloadUrl, filter, found);
    }
    display.message("Found " + std::to_string(products.size()) + " products");

    if (args.preview) {
        const PreviewFiles files = writePreview(args.progress, products, areaOfInterest(query));
        for (const std::string& file : {files.csv, files.geojson, files.svg}) display.message("  wrote " + file);
        progress.report(100, "HubFetch: preview of " + std::to_string(products.size()) + " products written");
        display.message("HubFetch: preview of " + std::to_string(products.size()) + " products written");
        return Outcome::kDone;
    }

    DownloadOptions options;
    options.directory = settings.downloadDirectory;
    if (options.directory.empty()) {
        const auto folder = std::filesystem::path(args.progress).parent_path();
        options.directory = folder.empty() ? "." : folder.string();
    }
    options.unzipTo = args.unzipTo;
    options.deleteArchives = args.deleteArchives;
    CHubDownloads downloads(settings, options, client, authorizer.get(), progress, display);
    const DownloadSummary summary = downloads.run(products);

    std::string line = "HubFetch: " + std::to_string(summary.downloaded) + " downloaded, " +
                       std::to_string(summary.present) + " already present" +
                       summaryLine(", ", static_cast<int>(summary.offline.size()), " offline") +
                       summaryLine(", ", static_cast<int>(summary.failed.size()), " FAILED");
    for (const std::string& name : summary.offline) display.message("  offline: " + name);
    for (const std::string& name : summary.failed) display.message("  failed:  " + name);
    progress.report(100, line);
    const bool complete = summary.offline.empty() && summary.failed.empty();
    display.message(complete ? line : line + " (see the names above)");
    return complete ? Outcome::kDone : Outcome::kSomeFailed;
}

}  // namespace

int main(int argc, char** argv) {
    return runProgram("HubFetch", kUsage, [&](ProgramRun& run) {
        const Arguments args = parseArguments(argc, argv);
        run.waitAtEnd = args.waitForEnter;
        run.progress.emplace(args.progress);
        return runHubFetch(args, *run.progress, run.display);
    });
}
