// Safe extraction on the runtime's zip reader.
#include "fetch_archive.h"

#include <fcntl.h>

#include <cstdio>
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

bool below(const std::string& name, const std::string& top) {
    return name == top || name.rfind(top + "/", 0) == 0;
}

}  // namespace

std::string replaceAtomically(const std::string& source, const std::string& target) {
    std::error_code error;
    if (!fs::exists(fs::symlink_status(target))) {
        fs::rename(source, target, error);
        return error ? "cannot move " + source + " to " + target + ": " + error.message() : std::string();
    }
    // Exchanged in one step (a folder cannot be renamed over another one);
    // the old one, now at `source`, goes afterwards.
    if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) == 0) {
        fs::remove_all(source, error);
        return {};
    }
    if (fs::is_directory(fs::symlink_status(target)))
        return "cannot replace " + target + ": " + std::error_code(errno, std::generic_category()).message();
    fs::rename(source, target, error);  // a file: rename replaces it in one step
    return error ? "cannot replace " + target + ": " + error.message() : std::string();
}

ExtractionResult extractArchive(const std::string& archivePath, const std::string& destination,
                                const ExtractionOptions& options) {
    ExtractionResult result;
    OrbsArchive archive(archivePath);
    if (!archive.load()) {
        result.error = archivePath + " is not a readable zip archive";
        return result;
    }
    for (unsigned i = 0; i < archive.getNrOfEntries(); ++i) {
        std::string why = unsafeName(archive.at(i));
        if (why.empty() && !options.onlyBelow.empty() && !below(archive.at(i).getFilename(), options.onlyBelow))
            why = "lies outside " + options.onlyBelow;
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
        if (!options.replace && fs::exists(fs::symlink_status(target))) {
            result.error = target.string() + " already exists; it was left as it is";
        } else {
            result.error = replaceAtomically((staging / top).string(), target.string());
            if (result.error.empty()) result.created.push_back(top);
        }
    }
    fs::remove_all(staging, error);
    result.ok = result.error.empty();
    return result;
}

}  // namespace NORBS_FETCH
