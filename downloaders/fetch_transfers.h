// Parallel file transfers on libcurl's multi interface: each file is
// streamed to "<name>.incomplete" (never held in memory) and hashed as it
// arrives, resumed with Range after an interruption, retried with backoff,
// and stopped within a second of the user's stop request.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "fetch_http.h"
#include "fetch_progress.h"

namespace NORBS_FETCH {

struct DownloadJob {
    std::string label;              // the product's name, for messages
    std::string url;
    std::string partialPath;        // resumed when it exists
    std::uint64_t expectedSize = 0; // 0 when not known
    bool authorize = true;          // send the authorizer's header (trusted origins only)
};

struct DownloadResult {
    enum class Status {
        kComplete,   // the server sent the whole file: partialPath holds `size` bytes hashed to `md5`
        kFailed,     // given up: `error` says why
        kDeferred,   // 202: the hub is bringing the file online; ask again later
    };
    Status status = Status::kFailed;
    std::uint64_t size = 0;
    std::string md5;
    std::string error;
};

struct TransferSnapshot {
    std::vector<TransferView> active;
    std::uint64_t activeBytes = 0;     // bytes on disk of the active transfers
    double bytesPerSecond = 0;         // all transfers together
};

class CTransferEngine {
public:
    using Done = std::function<void(const DownloadJob&, const DownloadResult&)>;
    using Tick = std::function<void(const TransferSnapshot&)>;

    CTransferEngine(HttpSettings settings, CAuthorizer* authorizer, int parallel, StopCheck stop);
    ~CTransferEngine();
    CTransferEngine(const CTransferEngine&) = delete;
    CTransferEngine& operator=(const CTransferEngine&) = delete;

    // Queues a job, to start no sooner than `delaySeconds` from now.  May be
    // called from a Done callback (a checksum mismatch queues the file again).
    void add(DownloadJob job, Done done, double delaySeconds = 0);
    // Runs until every job is done; `tick` is called about four times a
    // second.  Throws CFetchFailure(kStopped) on a stop request, leaving
    // every partial file in place for a later resume.
    void run(const Tick& tick);

private:
    struct Transfer;
    void start(std::unique_ptr<Transfer> transfer);
    void finish(Transfer* transfer, int curlResult);
    void hashThenComplete(std::unique_ptr<Transfer> transfer);
    void collectHashes();
    void retryLater(std::unique_ptr<Transfer> transfer, const std::string& why, double retryAfter);
    void complete(std::unique_ptr<Transfer> transfer, DownloadResult result);
    std::unique_ptr<Transfer> detach(Transfer* transfer);
    TransferSnapshot snapshot();

    HttpSettings mSettings;
    CAuthorizer* mAuthorizer;
    int mParallel;
    StopCheck mStop;
    void* mMulti;
    std::deque<std::unique_ptr<Transfer>> mPending;
    std::vector<std::unique_ptr<Transfer>> mActive;
    struct Hashing {
        std::future<std::string> digest;
        std::unique_ptr<Transfer> transfer;
    };
    std::vector<Hashing> mHashing;
};

}  // namespace NORBS_FETCH
