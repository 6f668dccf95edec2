// Parallel transfers on libcurl's multi interface.
#include "fetch_transfers.h"

#include <curl/curl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <stdexcept>

#include "fetch_digest.h"
#include "fetch_failure.h"
#include "fetch_partial.h"

namespace NORBS_FETCH {

namespace {

using Clock = std::chrono::steady_clock;
constexpr long kReceiveBuffer = 256 * 1024;
constexpr std::size_t kErrorBodyLimit = 512;

Clock::time_point after(double seconds) {
    return Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

}  // namespace

struct CTransferEngine::Transfer {
    DownloadJob job;
    Done done;
    Clock::time_point notBefore{};
    int attempt = 0;           // failed attempts so far
    int hops = 0;              // redirects followed in this attempt
    bool renewed = false;      // credentials renewed after a 401
    std::string url;           // this attempt's URL (after redirects)
    // Open from the start of an attempt to the digest; closed while a
    // retry waits (the next attempt hashes the kept bytes again), so that
    // waiting transfers hold no file and no thread.
    std::unique_ptr<CPartialFile> file;
    std::uint64_t offset = 0;  // bytes in the partial file
    std::uint64_t announced = 0;  // whole size announced by the server, 0 when unknown
    // Per request.
    CURL* easy = nullptr;
    curl_slist* headers = nullptr;
    bool bodyStarted = false;
    bool writingFile = false;
    long status = 0;
    std::string errorBody;
    std::map<std::string, std::string> replyHeaders;
    std::string range;
    std::string failure;       // set by the write callback when the file cannot be written
    // Rate.
    std::uint64_t rateMark = 0;
    Clock::time_point rateTime = Clock::now();
    double rate = 0;

    void closeRequest() {
        curl_slist_free_all(headers);
        headers = nullptr;
        if (easy != nullptr) curl_easy_cleanup(easy);
        easy = nullptr;
    }
    ~Transfer() { closeRequest(); }

    // Writes the body of a 200 or 206 answer to the partial file; any other
    // answer's body is kept (shortened) for the error text.
    static size_t write(char* data, size_t size, size_t count, void* self) {
        auto& t = *static_cast<Transfer*>(self);
        const size_t bytes = size * count;
        if (!t.bodyStarted) {
            t.bodyStarted = true;
            curl_easy_getinfo(t.easy, CURLINFO_RESPONSE_CODE, &t.status);
            t.writingFile = t.status == 200 || t.status == 206;
            if (t.status == 200 && t.offset > 0) {
                // The server ignored the Range: start again from byte 0.
                if (!t.file->restart()) {
                    t.failure = "cannot write " + t.job.partialPath;
                    return 0;
                }
                t.offset = 0;
            }
            curl_off_t length = -1;
            curl_easy_getinfo(t.easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
            if (t.writingFile && length >= 0) t.announced = t.offset + static_cast<std::uint64_t>(length);
        }
        if (!t.writingFile) {
            t.errorBody.append(data, std::min(bytes, kErrorBodyLimit - std::min(kErrorBodyLimit, t.errorBody.size())));
            return bytes;
        }
        if (!t.file->append(data, bytes)) {
            t.failure = "cannot write " + t.job.partialPath;
            return 0;
        }
        t.offset += bytes;
        return bytes;
    }

    static size_t header(char* data, size_t size, size_t count, void* self) {
        auto& t = *static_cast<Transfer*>(self);
        const std::string line(data, size * count);
        if (line.rfind("HTTP/", 0) == 0) t.replyHeaders.clear();
        const auto colon = line.find(':');
        if (colon != std::string::npos) {
            std::string name = line.substr(0, colon);
            std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
            std::string value = line.substr(colon + 1);
            value.erase(0, value.find_first_not_of(" \t"));
            value.erase(value.find_last_not_of(" \t\r\n") + 1);
            t.replyHeaders[name] = value;
        }
        return size * count;
    }
};

CTransferEngine::CTransferEngine(HttpSettings settings, CAuthorizer* authorizer, int parallel, StopCheck stop)
    : mSettings(std::move(settings)), mAuthorizer(authorizer), mParallel(std::max(1, parallel)),
      mStop(std::move(stop)), mMulti(curl_multi_init()) {}

CTransferEngine::~CTransferEngine() {
    for (auto& t : mActive) curl_multi_remove_handle(mMulti, t->easy);
    mActive.clear();
    curl_multi_cleanup(mMulti);
}

void CTransferEngine::add(DownloadJob job, Done done, double delaySeconds) {
    auto t = std::make_unique<Transfer>();
    t->url = job.url;
    t->job = std::move(job);
    t->done = std::move(done);
    t->notBefore = after(delaySeconds);
    mPending.push_back(std::move(t));
}

void CTransferEngine::start(std::unique_ptr<Transfer> t) {
    const std::string& path = t->job.partialPath;
    if (!t->file) {
        // Resume: the bytes already on disk are not fetched again.
        if (t->job.expectedSize > 0 && fileSize(path) > t->job.expectedSize) std::filesystem::resize_file(path, 0);
        t->file = std::make_unique<CPartialFile>(path);
        if (!t->file->isOpen()) {
            complete(std::move(t), {DownloadResult::Status::kFailed, 0, {}, "cannot write " + path});
            return;
        }
        t->offset = t->file->size();
    }
    if (t->job.expectedSize > 0 && t->offset == t->job.expectedSize) {
        hashThenComplete(std::move(t));
        return;
    }
    t->bodyStarted = false;
    t->writingFile = false;
    t->status = 0;
    t->errorBody.clear();
    t->failure.clear();
    t->replyHeaders.clear();

    t->easy = curl_easy_init();
    applyCommonOptions(t->easy, mSettings);
    curl_easy_setopt(t->easy, CURLOPT_URL, t->url.c_str());
    curl_easy_setopt(t->easy, CURLOPT_BUFFERSIZE, kReceiveBuffer);
    // Archives are sent as they are: no content decoding.
    curl_easy_setopt(t->easy, CURLOPT_ACCEPT_ENCODING, nullptr);
    curl_easy_setopt(t->easy, CURLOPT_WRITEFUNCTION, Transfer::write);
    curl_easy_setopt(t->easy, CURLOPT_WRITEDATA, t.get());
    curl_easy_setopt(t->easy, CURLOPT_HEADERFUNCTION, Transfer::header);
    curl_easy_setopt(t->easy, CURLOPT_HEADERDATA, t.get());
    curl_easy_setopt(t->easy, CURLOPT_PRIVATE, t.get());
    // A plain Range header (not libcurl's resume option, which fails when
    // the server answers 200): a 200 restarts the file from byte 0.
    t->range = std::to_string(t->offset) + "-";
    if (t->offset > 0) curl_easy_setopt(t->easy, CURLOPT_RANGE, t->range.c_str());
    if (t->job.authorize && mAuthorizer != nullptr) {
        if (auto line = mAuthorizer->headerFor(t->url)) t->headers = curl_slist_append(t->headers, line->c_str());
    }
    curl_easy_setopt(t->easy, CURLOPT_HTTPHEADER, t->headers);
    curl_multi_add_handle(mMulti, t->easy);
    mActive.push_back(std::move(t));
}

std::unique_ptr<CTransferEngine::Transfer> CTransferEngine::detach(Transfer* t) {
    curl_multi_remove_handle(mMulti, t->easy);
    const auto found =
        std::find_if(mActive.begin(), mActive.end(), [t](const auto& active) { return active.get() == t; });
    std::unique_ptr<Transfer> owned = std::move(*found);
    mActive.erase(found);
    // An answer without a body (a redirect, a 202) never reached the write callback.
    if (!owned->bodyStarted) curl_easy_getinfo(owned->easy, CURLINFO_RESPONSE_CODE, &owned->status);
    if (owned->file && !owned->file->flush() && owned->failure.empty())
        owned->failure = "cannot write " + owned->job.partialPath;
    owned->closeRequest();
    return owned;
}

void CTransferEngine::complete(std::unique_ptr<Transfer> t, DownloadResult result) {
    const Done done = t->done;
    const DownloadJob job = t->job;
    t.reset();
    done(job, result);
}

void CTransferEngine::hashThenComplete(std::unique_ptr<Transfer> t) {
    // The file was hashed as it grew: the digest is ready as soon as the
    // hashing thread has caught up and the file is synced.
    std::future<std::string> digest = t->file->finish();
    mHashing.push_back({std::move(digest), std::move(t)});
}

void CTransferEngine::collectHashes() {
    for (auto it = mHashing.begin(); it != mHashing.end();) {
        if (it->digest.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
            ++it;
            continue;
        }
        DownloadResult result{DownloadResult::Status::kComplete, it->transfer->offset, {}, {}};
        try {
            result.md5 = it->digest.get();
        } catch (const std::runtime_error& error) {
            result = {DownloadResult::Status::kFailed, 0, {}, error.what()};
        }
        std::unique_ptr<Transfer> t = std::move(it->transfer);
        it = mHashing.erase(it);
        complete(std::move(t), std::move(result));
    }
}

void CTransferEngine::retryLater(std::unique_ptr<Transfer> t, const std::string& why, double retryAfter) {
    t->file.reset();
    ++t->attempt;
    if (t->attempt >= mSettings.maxAttempts) {
        complete(std::move(t), {DownloadResult::Status::kFailed, 0, {},
                                why + " (gave up after " + std::to_string(mSettings.maxAttempts) + " attempts)"});
        return;
    }
    t->notBefore = after(retryPauseSeconds(mSettings, t->attempt, retryAfter > 0 ? std::optional(retryAfter)
                                                                                  : std::nullopt));
    // Every attempt starts at the job's own URL: redirect targets may be
    // signed for a short time only.
    t->url = t->job.url;
    t->hops = 0;
    mPending.push_back(std::move(t));
}

void CTransferEngine::finish(Transfer* raw, int curlResult) {
    std::unique_ptr<Transfer> t = detach(raw);
    const long status = t->status;
    if (!t->failure.empty()) {
        DownloadResult result{DownloadResult::Status::kFailed, 0, {}, t->failure};
        complete(std::move(t), std::move(result));
        return;
    }
    if (curlResult != CURLE_OK) {
        retryLater(std::move(t), curl_easy_strerror(static_cast<CURLcode>(curlResult)), 0);
        return;
    }
    if (status == 200 || status == 206) {
        hashThenComplete(std::move(t));
        return;
    }
    const std::string httpText = "HTTP " + std::to_string(status) +
                                 (t->errorBody.empty() ? std::string() : ": " + t->errorBody.substr(0, 200));
    if (status >= 300 && status < 400 && status != 304) {
        const std::string next = resolveUrl(t->url, t->replyHeaders["location"]);
        if (!next.empty() && ++t->hops <= mSettings.maxRedirects) {
            t->url = next;
            t->notBefore = Clock::now();
            mPending.push_front(std::move(t));
            return;
        }
        complete(std::move(t), {DownloadResult::Status::kFailed, 0, {}, "too many or bad redirects"});
        return;
    }
    if (status == 401 && t->job.authorize && mAuthorizer != nullptr && !t->renewed && mAuthorizer->renew()) {
        t->renewed = true;
        t->url = t->job.url;
        t->notBefore = Clock::now();
        mPending.push_front(std::move(t));
        return;
    }
    if (status == 202) {
        complete(std::move(t), {DownloadResult::Status::kDeferred, 0, {}, httpText});
        return;
    }
    if (status == 416) {
        // Our partial file is longer than the server's file: start over.
        if (!t->file->restart()) {
            complete(std::move(t), {DownloadResult::Status::kFailed, 0, {}, "cannot write " + t->job.partialPath});
            return;
        }
        t->offset = 0;
        retryLater(std::move(t), httpText, 0);
        return;
    }
    if (isRetryableStatus(status)) {
        const double retryAfter = parseRetryAfter(t->replyHeaders["retry-after"]).value_or(0);
        retryLater(std::move(t), httpText, retryAfter);
        return;
    }
    complete(std::move(t), {DownloadResult::Status::kFailed, 0, {}, httpText});
}

TransferSnapshot CTransferEngine::snapshot() {
    TransferSnapshot view;
    const auto now = Clock::now();
    for (auto& t : mActive) {
        const double elapsed = std::chrono::duration<double>(now - t->rateTime).count();
        if (elapsed >= 1.0) {
            const double current = static_cast<double>(t->offset - std::min(t->offset, t->rateMark)) / elapsed;
            t->rate = t->rate > 0 ? 0.6 * t->rate + 0.4 * current : current;
            t->rateMark = t->offset;
            t->rateTime = now;
        }
        view.active.push_back({t->job.label, t->offset, t->job.expectedSize ? t->job.expectedSize : t->announced,
                               t->rate});
        view.activeBytes += t->offset;
        view.bytesPerSecond += t->rate;
    }
    return view;
}

void CTransferEngine::run(const Tick& tick) {
    auto nextTick = Clock::now();
    while (!mPending.empty() || !mActive.empty() || !mHashing.empty()) {
        if (mStop && mStop()) {
            while (!mActive.empty()) detach(mActive.back().get());
            mPending.clear();
            // Hashing stops where it is: a later run hashes the kept files again.
            mHashing.clear();
            throw CFetchFailure(Outcome::kStopped, "Stopped at the user's request");
        }
        // Start what is due, in queue order, up to the parallel limit.
        const auto now = Clock::now();
        for (auto it = mPending.begin(); it != mPending.end() && static_cast<int>(mActive.size()) < mParallel;) {
            if ((*it)->notBefore > now) {
                ++it;
                continue;
            }
            std::unique_ptr<Transfer> t = std::move(*it);
            it = mPending.erase(it);
            start(std::move(t));
            it = mPending.begin();  // start() may have queued or completed work
        }
        int running = 0;
        curl_multi_perform(mMulti, &running);
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(mMulti, &queued)) {
            if (message->msg != CURLMSG_DONE) continue;
            Transfer* t = nullptr;
            curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &t);
            finish(t, message->data.result);
        }
        collectHashes();
        if (Clock::now() >= nextTick) {
            nextTick = Clock::now() + std::chrono::milliseconds(250);
            if (tick) tick(snapshot());
        }
        if (!mActive.empty()) curl_multi_poll(mMulti, nullptr, 0, 100, nullptr);
        else if (!mHashing.empty()) mHashing.front().digest.wait_for(std::chrono::milliseconds(100));
        else if (!mPending.empty()) usleep(50 * 1000);
    }
    if (tick) tick(snapshot());
}

}  // namespace NORBS_FETCH
