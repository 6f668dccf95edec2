// Safe extraction on the runtime's zip reader.
#include "fetch_archive.h"

#include <filesystem>
#include <set>
#include <system_error>

#include "orbs_archive.h"

namespace NORBS_FETCH {

namespace fs = std::filesystem;

namespace {

// Why a member name may not be extracted; empty when it may.
std::string unsafeName(const OrbsArchive::Entry& entry) {
    const std::string& name = entry.getFilename();
    if (entry.isLink()) return "is a symbolic link";
    if (name.empty()) return "has no name";
    if (name.front() == '/') return "has an absolute path";
    if (name.find('\\') != std::string::npos) return "holds a backslash";
    for (const auto& step : fs::path(name)) {
        if (step == ".." || step == ".") return "holds a '" + step.string() + "' step";
    }
    return {};
}

}  // namespace

ExtractionResult extractArchive(const std::string& archivePath, const std::string& destination) {
    ExtractionResult result;
    OrbsArchive archive(archivePath);
    if (!archive.load()) {
        result.error = archivePath + " is not a readable zip archive";
        return result;
    }
    for (unsigned i = 0; i < archive.getNrOfEntries(); ++i) {
        const std::string why = unsafeName(archive.at(i));
        if (!why.empty()) {
            result.error = "refused " + archivePath + ": member '" + archive.at(i).getFilename() + "' " + why;
            return result;
        }
    }
    std::error_code error;
    const fs::path staging = fs::path(destination) / ("." + fs::path(archivePath).filename().string() + ".extracting");
    fs::remove_all(staging, error);
    fs::create_directories(staging, error);
    std::set<std::string> tops;
    for (unsigned i = 0; i < archive.getNrOfEntries() && result.error.empty(); ++i) {
        const std::string& name = archive.at(i).getFilename();
        const fs::path target = staging / name;
        tops.insert(fs::path(name).begin()->string());
        if (name.back() == '/') {
            fs::create_directories(target, error);
        } else {
            fs::create_directories(target.parent_path(), error);
            if (!archive.extractAs(i, target.string())) result.error = "cannot extract '" + name + "'";
        }
        if (error) result.error = "cannot create " + target.string() + ": " + error.message();
    }
    for (const std::string& top : tops) {
        if (!result.error.empty()) break;
        const fs::path target = fs::path(destination) / top;
        if (fs::exists(fs::symlink_status(target))) {
            result.error = target.string() + " already exists; it was left as it is";
        } else {
            fs::rename(staging / top, target, error);
            if (error) result.error = "cannot move " + target.string() + " into place: " + error.message();
            else result.created.push_back(top);
        }
    }
    fs::remove_all(staging, error);
    result.ok = result.error.empty();
    return result;
}

}  // namespace NORBS_FETCH
