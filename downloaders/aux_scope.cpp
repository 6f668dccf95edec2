// The scope of an AuxFetch run.
#include "aux_scope.h"

#include <expat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "fetch_failure.h"
#include "orbs_archive.h"

namespace NORBS_AUX {

namespace fs = std::filesystem;
using NORBS_FETCH::CFetchFailure;
using NORBS_FETCH::Outcome;

namespace {

constexpr const char* kAllMissions = "S1A,S1B,S1C,S1D";

std::string field(const char* name) { return std::string(kServiceSection) + "." + name; }

std::vector<std::string> splitList(const std::string& text) {
    std::vector<std::string> items;
    std::istringstream in(text);
    for (std::string item; std::getline(in, item, ',');) {
        item.erase(0, item.find_first_not_of(" \t\r\n"));
        item.erase(item.find_last_not_of(" \t\r\n") + 1);
        if (!item.empty()) items.push_back(item);
    }
    return items;
}

// The text of the first element named instrumentConfigurationID, whatever
// its namespace prefix (read without namespace processing, so that an
// undeclared prefix does not hide the value).
struct ManifestReader {
    std::string text;
    bool inside = false;
    bool done = false;

    static bool isConfiguration(const XML_Char* name) {
        const std::string_view n(name);
        const auto colon = n.rfind(':');
        return n.substr(colon == std::string_view::npos ? 0 : colon + 1) == "instrumentConfigurationID";
    }
    static void start(void* self, const XML_Char* name, const XML_Char**) {
        auto& r = *static_cast<ManifestReader*>(self);
        if (!r.done && isConfiguration(name)) r.inside = true;
    }
    static void end(void* self, const XML_Char* name) {
        auto& r = *static_cast<ManifestReader*>(self);
        if (r.inside && isConfiguration(name)) {
            r.inside = false;
            r.done = true;
        }
    }
    static void characters(void* self, const XML_Char* data, int length) {
        auto& r = *static_cast<ManifestReader*>(self);
        if (r.inside) r.text.append(data, static_cast<std::size_t>(length));
    }
};

std::optional<int> manifestConfiguration(const fs::path& manifest) {
    std::ifstream in(manifest, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    const std::string body = text.str();
    ManifestReader reader;
    std::unique_ptr<XML_ParserStruct, void (*)(XML_Parser)> parser(XML_ParserCreate(nullptr), XML_ParserFree);
    XML_SetUserData(parser.get(), &reader);
    XML_SetElementHandler(parser.get(), ManifestReader::start, ManifestReader::end);
    XML_SetCharacterDataHandler(parser.get(), ManifestReader::characters);
    if (XML_Parse(parser.get(), body.data(), static_cast<int>(body.size()), 1) != XML_STATUS_OK || !reader.done)
        return std::nullopt;
    try {
        std::size_t used = 0;
        const int value = std::stoi(reader.text, &used);
        if (reader.text.find_first_not_of(" \t\r\n", used) == std::string::npos) return value;
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

Need productNeed(const ProductName& product, std::optional<int> configuration) {
    return {product.name, product.mission, product.start, product.stop, configuration, false};
}

void addProduct(Scope& scope, const std::vector<char>& missions, const ProductName& product,
                std::optional<int> configuration) {
    if (std::find(missions.begin(), missions.end(), product.mission) == missions.end()) {
        scope.notes.push_back(product.name + ": not of the missions asked for; left out");
        return;
    }
    if (std::any_of(scope.needs.begin(), scope.needs.end(), [&](const Need& n) { return n.label == product.name; }))
        return;
    scope.needs.push_back(productNeed(product, configuration));
}

void readFolder(Scope& scope, const std::vector<char>& missions, const std::string& folder) {
    std::error_code error;
    fs::directory_iterator entries(folder, error);
    if (error) throw CFetchFailure(Outcome::kBadArguments, field("products_folder") + ": cannot read " + folder + ": " + error.message());
    std::vector<fs::path> paths;
    for (const auto& entry : entries) paths.push_back(entry.path());
    std::sort(paths.begin(), paths.end());
    for (const fs::path& path : paths)
        if (const auto product = parseProductName(path.filename().string()))
            addProduct(scope, missions, *product, productConfiguration(path.string()));
}

}  // namespace

std::vector<char> parseMissions(const std::string& text) {
    std::vector<char> missions;
    for (const std::string& item : splitList(text)) {
        if (item.size() != 3 || item.compare(0, 2, "S1") != 0 || item[2] < 'A' || item[2] > 'D')
            throw CFetchFailure(Outcome::kBadArguments,
                                field("missions") + " holds '" + item + "': give S1A, S1B, S1C or S1D, comma-separated");
        if (std::find(missions.begin(), missions.end(), item[2]) == missions.end()) missions.push_back(item[2]);
    }
    if (missions.empty()) throw CFetchFailure(Outcome::kBadArguments, field("missions") + " names no mission");
    return missions;
}

std::optional<int> productConfiguration(const std::string& productPath) {
    const fs::path path(productPath);
    if (fs::is_directory(path)) return manifestConfiguration(path / "manifest.safe");
    OrbsArchive archive(productPath);
    if (!archive.load()) return std::nullopt;
    for (unsigned i = 0; i < archive.getNrOfEntries(); ++i) {
        const fs::path member(archive.at(i).getFilename());
        if (member.filename() != "manifest.safe" || std::distance(member.begin(), member.end()) != 2) continue;
        static std::atomic<int> counter{0};
        const fs::path copy = fs::temp_directory_path() /
                              ("orbs_manifest_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        std::optional<int> configuration;
        if (archive.extractAs(i, copy.string())) configuration = manifestConfiguration(copy);
        std::error_code ignored;
        fs::remove(copy, ignored);
        return configuration;
    }
    return std::nullopt;
}

Scope readScope(const NORBS_FETCH::CParameterFile& parameters, Instant now) {
    Scope scope;
    const std::vector<char> missions = parseMissions(parameters.text(kServiceSection, "missions", kAllMissions));
    const std::string folder = parameters.text(kServiceSection, "products_folder", "");
    const std::string list = parameters.text(kServiceSection, "products_list", "");
    const std::string startText = parameters.text(kServiceSection, "start_date", "");
    const std::string stopText = parameters.text(kServiceSection, "stop_date", "");

    if (!folder.empty() || !list.empty()) {
        if (!startText.empty() || !stopText.empty())
            throw CFetchFailure(Outcome::kBadArguments,
                                "Give either products (products_folder, products_list) or dates (start_date, "
                                "stop_date) in " + std::string(kServiceSection) + ", not both");
        scope.products = true;
        if (!folder.empty()) readFolder(scope, missions, folder);
        for (const std::string& name : splitList(list)) {
            const auto product = parseProductName(name);
            if (!product)
                throw CFetchFailure(Outcome::kBadArguments,
                                    field("products_list") + " holds '" + name + "', which is not a Sentinel-1 product name");
            addProduct(scope, missions, *product, std::nullopt);
        }
        if (scope.needs.empty())
            throw CFetchFailure(Outcome::kBadArguments,
                                "No Sentinel-1 product of the missions asked for in " +
                                    (folder.empty() ? field("products_list") : field("products_folder") + " " + folder));
        scope.description = std::to_string(scope.needs.size()) + " products";
        return scope;
    }

    auto date = [&](const char* name, const std::string& text) {
        const auto instant = parseDate(text);
        if (!instant)
            throw CFetchFailure(Outcome::kBadArguments, field(name) + " is '" + text +
                                                            "': write YYYY-MM-DD or YYYY-MM-DDThh:mm:ss (UTC)");
        return *instant;
    };
    const Instant stop = stopText.empty() ? now : date("stop_date", stopText);
    const Instant start = startText.empty() ? stop - kDefaultPeriodDays * 86400.0 : date("start_date", startText);
    if (start > stop)
        throw CFetchFailure(Outcome::kBadArguments, field("start_date") + " is after " + field("stop_date"));
    for (const char mission : missions)
        scope.needs.push_back({std::string("S1") + mission + " from " + dateText(start) + " to " + dateText(stop),
                               mission, start, stop, std::nullopt, true});
    scope.description = "the period from " + dateText(start) + " to " + dateText(stop) + " UTC";
    return scope;
}

}  // namespace NORBS_AUX
