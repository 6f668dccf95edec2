// Product downloads, verification and extraction.
#include "hub_download.h"

#include <cctype>
#include <chrono>
#include <filesystem>
#include <memory>

#include "fetch_archive.h"
#include "fetch_digest.h"
#include "fetch_transfers.h"
#include "orbs_file.h"

namespace NORBS_HUB {

namespace fs = std::filesystem;
using NORBS_FETCH::DownloadJob;
using NORBS_FETCH::DownloadResult;
using NORBS_FETCH::formatBytes;

namespace {

using Clock = std::chrono::steady_clock;

using NORBS_FETCH::fileSize;

// Why a file is not the product (size, then MD5); empty when it is.
std::string mismatch(const Product& product, std::uint64_t size, const std::string& md5) {
    return NORBS_FETCH::verificationMismatch(product.size, product.md5, size, md5);
}

std::string verifiedBy(const Product& product) {
    if (!product.md5.empty()) return "size and MD5 verified";
    if (product.blake3Only) return "size verified; the hub gives only a BLAKE3 checksum";
    return product.size > 0 ? "size verified; the hub gives no checksum" : "not verifiable: no size, no checksum";
}

}  // namespace

std::string archivePath(const std::string& directory, const Product& product) {
    return (fs::path(directory) / (productBase(product) + ".zip")).string();
}

std::string partialPath(const std::string& directory, const Product& product) {
    return (fs::path(directory) / (product.name + ".incomplete")).string();
}

struct CHubDownloads::State {
    std::vector<Product> products;
    std::unique_ptr<NORBS_FETCH::CTransferEngine> engine;
    std::vector<int> attempts;                         // downloads that failed verification
    std::vector<std::optional<Clock::time_point>> deferredSince;
    std::uint64_t totalBytes = 0;                      // of the products to download
    std::uint64_t doneBytes = 0;                       // of those finished
    int toDownload = 0;
    int finished = 0;
    DownloadSummary summary;
};

CHubDownloads::CHubDownloads(const HubSettings& settings, DownloadOptions options, NORBS_FETCH::CHttpClient& client,
                             NORBS_FETCH::CAuthorizer* authorizer, NORBS_FETCH::CProgressFile& progress,
                             NORBS_FETCH::CTerminalDisplay& display)
    : mSettings(settings), mOptions(std::move(options)), mClient(client), mAuthorizer(authorizer),
      mProgress(progress), mDisplay(display) {}

void CHubDownloads::placed(State& state, const Product& product, const std::string& archive) {
    if (!mOptions.unzipTo) return;
    const fs::path safe = fs::path(*mOptions.unzipTo) / (productBase(product) + ".SAFE");
    if (fs::exists(safe)) {
        mDisplay.message("  " + safe.string() + " is already there: not extracted again");
        return;
    }
    const NORBS_FETCH::ExtractionResult result = NORBS_FETCH::extractArchive(archive, *mOptions.unzipTo);
    if (!result.ok) {
        mDisplay.message("FAILED to extract " + product.name + ": " + result.error);
        state.summary.failed.push_back(product.name);
        return;
    }
    mDisplay.message("  extracted into " + safe.string());
    std::error_code error;
    if (mOptions.deleteArchives && fs::remove(archive, error)) mDisplay.message("  deleted " + archive);
}

bool CHubDownloads::alreadyPresent(const Product& product, State& state) {
    const std::string archive = archivePath(mOptions.directory, product);
    if (!fs::exists(archive)) {
        // With -d the archive goes once extracted: the extracted product counts.
        return mOptions.unzipTo && mOptions.deleteArchives &&
               fs::exists(fs::path(*mOptions.unzipTo) / (productBase(product) + ".SAFE") / "manifest.safe");
    }
    NORBS_FETCH::CMd5 md5;
    if (!product.md5.empty()) NORBS_FETCH::hashFile(archive, md5);
    const std::string why = mismatch(product, fileSize(archive), product.md5.empty() ? "" : md5.hex());
    if (!why.empty()) {
        mDisplay.message("FAILED: " + archive + " exists and is not this product (" + why +
                         "); it was left as it is: move it away to download it again");
        state.summary.failed.push_back(product.name);
        return true;
    }
    mDisplay.message("Already present: " + archive + " (" + verifiedBy(product) + ")");
    ++state.summary.present;
    placed(state, product, archive);
    return true;
}

void CHubDownloads::queue(State& state, std::size_t index, double delaySeconds) {
    const Product& p = state.products[index];
    DownloadJob job{p.name, p.downloadUrl, partialPath(mOptions.directory, p), p.size, true};
    state.engine->add(job, [this, &state, index](const DownloadJob&, const DownloadResult& result) {
        completed(state, index, result);
    }, delaySeconds);
}

void CHubDownloads::completed(State& state, std::size_t index, const DownloadResult& result) {
    Product& p = state.products[index];
    const std::string partial = partialPath(mOptions.directory, p);
    auto finish = [&](bool ok, const std::string& text) {
        mDisplay.message(text);
        ++state.finished;
        state.doneBytes += p.size;
        if (ok) ++state.summary.downloaded;
    };
    if (result.status == DownloadResult::Status::kFailed) {
        finish(false, "FAILED " + p.name + ": " + result.error);
        state.summary.failed.push_back(p.name);
        return;
    }
    if (result.status == DownloadResult::Status::kDeferred) {
        auto& since = state.deferredSince[index];
        if (!since) since = Clock::now();
        const double waited = std::chrono::duration<double>(Clock::now() - *since).count();
        if (waited < mSettings.offlineWaitMinutes * 60) {
            mDisplay.message(p.name + " is offline; the hub is bringing it online, asking again later");
            queue(state, index, mSettings.offlinePollSeconds * pauseScale());
        } else {
            finish(false, "OFFLINE " + p.name + ": still not online after " +
                              std::to_string(static_cast<int>(mSettings.offlineWaitMinutes)) + " minutes");
            state.summary.offline.push_back(p.name);
        }
        return;
    }
    if (p.size == 0) p.size = result.size;  // the hub did not say: what arrived counts
    const std::string why = mismatch(p, result.size, result.md5);
    if (!why.empty()) {
        const int attempt = ++state.attempts[index];
        std::error_code error;
        if (attempt < mSettings.checksumAttempts) {
            mDisplay.message(p.name + ": " + why + "; downloading again (" + std::to_string(attempt + 1) + " of " +
                             std::to_string(mSettings.checksumAttempts) + ")");
            fs::remove(partial, error);
            queue(state, index, 0);
            return;
        }
        if (mSettings.mismatch == MismatchPolicy::kFail) {
            fs::remove(partial, error);
            finish(false, "FAILED " + p.name + ": " + why + " after " + std::to_string(attempt) +
                              " downloads; not kept");
            state.summary.failed.push_back(p.name);
            return;
        }
        mDisplay.message("WARNING " + p.name + ": " + why + "; kept all the same (checksum_mismatch = warn)");
    }
    const std::string archive = archivePath(mOptions.directory, p);
    std::error_code error;
    fs::rename(partial, archive, error);
    if (error) {
        finish(false, "FAILED " + p.name + ": cannot rename into " + archive + ": " + error.message());
        state.summary.failed.push_back(p.name);
        return;
    }
    finish(true, "Downloaded " + archive + " (" + formatBytes(result.size) + ", " +
                     (why.empty() ? verifiedBy(p) : "MISMATCH " + why) + ")");
    placed(state, p, archive);
}

DownloadSummary CHubDownloads::run(const std::vector<Product>& products) {
    State state;
    state.products = products;
    state.attempts.assign(products.size(), 0);
    state.deferredSince.assign(products.size(), std::nullopt);
    state.engine = std::make_unique<NORBS_FETCH::CTransferEngine>(mSettings.http, mAuthorizer, mSettings.parallel,
                                                                  [this] { return mProgress.stopRequested(); });
    fs::create_directories(mOptions.directory);
    if (mOptions.unzipTo) fs::create_directories(*mOptions.unzipTo);
    for (std::size_t i = 0; i < state.products.size(); ++i) {
        Product& p = state.products[i];
        if (!p.online) {
            mDisplay.message("OFFLINE " + p.name + ": not online on the hub, it cannot be ordered from here");
            state.summary.offline.push_back(p.name);
            continue;
        }
        if (alreadyPresent(p, state)) continue;
        if (!p.checksumUrl.empty() && p.md5.empty()) {
            const auto reply = mClient.send({"GET", p.checksumUrl, "", true});
            if (reply.status == 200) {
                for (char c : reply.body)
                    if (std::isxdigit(static_cast<unsigned char>(c))) p.md5 += static_cast<char>(std::tolower(c));
            }
            if (p.md5.size() != 32) {
                p.md5.clear();
                mDisplay.message(p.name + ": the hub gives no MD5; it will be checked by size only");
            }
        }
        state.totalBytes += p.size;
        ++state.toDownload;
        queue(state, i, 0);
    }
    state.engine->run([&](const NORBS_FETCH::TransferSnapshot& snapshot) {
        const std::uint64_t done = state.doneBytes + snapshot.activeBytes;
        std::uint64_t total = state.totalBytes;
        for (const auto& t : snapshot.active)
            if (t.total > 0 && state.totalBytes == 0) total += t.total;
        const int percent = total > 0 ? static_cast<int>(std::min<std::uint64_t>(99, done * 100 / total)) : 0;
        mProgress.report(percent, "HubFetch: " + std::to_string(state.finished) + " of " +
                                      std::to_string(state.toDownload) + " products, " + formatBytes(done) +
                                      (total > 0 ? " of " + formatBytes(total) : std::string()));
        mDisplay.show(snapshot.active, {done, total, snapshot.bytesPerSecond, state.finished, state.toDownload});
    });
    mDisplay.clear();
    return state.summary;
}

}  // namespace NORBS_HUB
