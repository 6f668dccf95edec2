// Fetching and placing auxiliary files.
#include "aux_download.h"

#include <filesystem>
#include <fstream>
#include <memory>

#include "fetch_archive.h"
#include "fetch_digest.h"
#include "fetch_failure.h"

namespace NORBS_AUX {

namespace fs = std::filesystem;
using NORBS_FETCH::CFetchFailure;
using NORBS_FETCH::DownloadJob;
using NORBS_FETCH::DownloadResult;
using NORBS_FETCH::Outcome;

namespace {

// Downloads of one file whose size or MD5 does not match, before it fails.
constexpr int kVerificationAttempts = 3;

bool isArchive(const Planned& planned) { return !isOrbit(planned.file.type); }

std::string partialPath(const Planned& planned) {
    const std::string& name = planned.file.name;
    // An archive keeps its ".zip" until it is extracted as the ".SAFE" folder.
    const std::string base = isArchive(planned) ? name.substr(0, name.size() - 5) + ".zip" : name;
    return (fs::path(planned.folder) / (base + ".incomplete")).string();
}

bool startsAsZip(const std::string& path) {
    char magic[4] = {};
    std::ifstream in(path, std::ios::binary);
    return in.read(magic, 4) && magic[0] == 'P' && magic[1] == 'K' && magic[2] == 3 && magic[3] == 4;
}

std::string md5Of(const std::string& path) {
    NORBS_FETCH::CMd5 md5;
    return NORBS_FETCH::hashFile(path, md5) ? md5.hex() : std::string();
}

}  // namespace

std::string finalPath(const Planned& planned) { return (fs::path(planned.folder) / planned.file.name).string(); }

std::optional<std::string> presentMismatch(const Planned& planned) {
    const std::string path = finalPath(planned);
    if (!fs::exists(fs::symlink_status(path))) return std::nullopt;
    if (isArchive(planned))
        return fs::is_regular_file(fs::path(path) / "manifest.safe") ? std::string() : "it holds no manifest.safe";
    if (!fs::is_regular_file(path)) return "it is not a file";
    const AuxFile& f = planned.file;
    const std::uint64_t size = NORBS_FETCH::fileSize(path);
    if (size == 0) return "it is empty";
    return NORBS_FETCH::verificationMismatch(f.size, f.md5, size, f.md5.empty() ? std::string() : md5Of(path));
}

struct CAuxDownloads::State {
    std::vector<Planned> files;
    std::unique_ptr<NORBS_FETCH::CTransferEngine> engine;
    std::vector<int> attempts;
    std::map<std::string, Placement> results;
    std::uint64_t totalBytes = 0;
    std::uint64_t doneBytes = 0;
    int toFetch = 0;
    int finished = 0;
};

CAuxDownloads::CAuxDownloads(const AuxSettings& settings, NORBS_FETCH::CAuthorizer* authorizer,
                             NORBS_FETCH::CProgressFile& progress, NORBS_FETCH::CTerminalDisplay& display,
                             bool incremental)
    : mSettings(settings), mAuthorizer(authorizer), mProgress(progress), mDisplay(display),
      mIncremental(incremental) {}

bool CAuxDownloads::loginWorks() {
    if (!mLoginFailure) {
        try {
            mAuthorizer->headerFor(mSettings.downloadUrl);
            mLoginFailure = "";
        } catch (const CFetchFailure& failure) {
            if (failure.outcome() == Outcome::kStopped) throw;
            mLoginFailure = failure.what();
            mDisplay.message("Data Space downloads are not possible: " + *mLoginFailure);
        }
    }
    return mLoginFailure->empty();
}

std::string CAuxDownloads::place(const Planned& planned, const std::string& partial) {
    const std::string target = finalPath(planned);
    // An orbit file may come zipped: only the file itself is kept.
    if (isArchive(planned) || startsAsZip(partial)) {
        NORBS_FETCH::ExtractionOptions options;
        options.onlyBelow = planned.file.name;
        options.replace = true;
        const NORBS_FETCH::ExtractionResult result = NORBS_FETCH::extractArchive(partial, planned.folder, options);
        std::error_code ignored;
        fs::remove(partial, ignored);
        if (!result.ok) return result.error;
        if (!fs::exists(target)) return "the archive does not hold " + planned.file.name;
        return {};
    }
    return NORBS_FETCH::replaceAtomically(partial, target);
}

void CAuxDownloads::queue(State& state, std::size_t index) {
    const Planned& p = state.files[index];
    DownloadJob job{p.file.name, p.file.url, partialPath(p), p.file.size, p.file.authorize};
    state.engine->add(job, [this, &state, index](const DownloadJob&, const DownloadResult& result) {
        completed(state, index, result);
    });
}

void CAuxDownloads::completed(State& state, std::size_t index, const DownloadResult& result) {
    const Planned& p = state.files[index];
    const std::string partial = partialPath(p);
    auto finish = [&](const std::string& error, const std::string& text) {
        mDisplay.message(text);
        ++state.finished;
        state.doneBytes += p.file.size;
        state.results[p.file.name] = {error.empty() ? Placement::State::kFetched : Placement::State::kFailed, error};
    };
    if (result.status != DownloadResult::Status::kComplete) {
        finish(result.error, "FAILED " + p.file.name + " from " + p.file.source + ": " + result.error);
        return;
    }
    const std::string why = NORBS_FETCH::verificationMismatch(p.file.size, p.file.md5, result.size, result.md5);
    if (!why.empty()) {
        std::error_code ignored;
        fs::remove(partial, ignored);
        if (++state.attempts[index] < kVerificationAttempts) {
            mDisplay.message(p.file.name + ": " + why + "; downloading again");
            queue(state, index);
            return;
        }
        finish(why, "FAILED " + p.file.name + ": " + why + " after " + std::to_string(kVerificationAttempts) +
                        " downloads; not kept");
        return;
    }
    const std::string error = place(p, partial);
    finish(error, error.empty() ? "Fetched " + finalPath(p) + " (" + NORBS_FETCH::formatBytes(result.size) + ")"
                                : "FAILED " + p.file.name + ": " + error);
}

std::map<std::string, Placement> CAuxDownloads::run(const std::vector<Planned>& files) {
    State state;
    state.files = files;
    state.attempts.assign(files.size(), 0);
    state.engine = std::make_unique<NORBS_FETCH::CTransferEngine>(mSettings.http, mAuthorizer, mSettings.parallel,
                                                                  [this] { return mProgress.stopRequested(); });
    for (std::size_t i = 0; i < state.files.size(); ++i) {
        const Planned& p = state.files[i];
        std::error_code ignored;
        fs::create_directories(p.folder, ignored);
        if (const auto mismatch = presentMismatch(p)) {
            if (mIncremental && mismatch->empty()) {
                state.results[p.file.name] = {Placement::State::kPresent, {}};
                continue;
            }
            if (mIncremental) mDisplay.message(finalPath(p) + " is there but " + *mismatch + ": fetched again");
        }
        if (p.file.authorize && !loginWorks()) {
            state.results[p.file.name] = {Placement::State::kFailed, "the Data Space login failed"};
            continue;
        }
        state.totalBytes += p.file.size;
        ++state.toFetch;
        queue(state, i);
    }
    try {
        state.engine->run([&](const NORBS_FETCH::TransferSnapshot& snapshot) {
            const std::uint64_t done = state.doneBytes + snapshot.activeBytes;
            const int percent = state.totalBytes > 0
                                    ? static_cast<int>(10 + std::min<std::uint64_t>(89, done * 89 / state.totalBytes))
                                    : 10 + 89 * state.finished / std::max(1, state.toFetch);
            mProgress.report(percent, "AuxFetch: " + std::to_string(state.finished) + " of " +
                                          std::to_string(state.toFetch) + " files, " + NORBS_FETCH::formatBytes(done));
            mDisplay.show(snapshot.active, {done, state.totalBytes, snapshot.bytesPerSecond, state.finished,
                                            state.toFetch});
        });
    } catch (const CFetchFailure& failure) {
        // A login that fails later (the session could not be renewed) ends
        // the transfers still running; the next source may have them.
        if (failure.outcome() == Outcome::kStopped) throw;
        mDisplay.message(std::string("Downloads interrupted: ") + failure.what());
        for (const Planned& p : state.files)
            state.results.try_emplace(p.file.name, Placement{Placement::State::kFailed, failure.what()});
    }
    mDisplay.clear();
    return state.results;
}

}  // namespace NORBS_AUX
