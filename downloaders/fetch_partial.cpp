// Partial files written in blocks and hashed as they grow.
#include "fetch_partial.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "fetch_digest.h"
#include "orbs_core_generic_utility.h"

namespace NORBS_FETCH {

namespace {

// libcurl hands over up to 256 kB at a time: one write() per block of that.
constexpr std::size_t kBlockBytes = 256 * 1024;
// Blocks kept for the hashing thread.  When it lags further behind (a slow
// machine, or the kept bytes of a resumed file still being read), blocks
// are not kept: it reads those bytes back from the file.  The download
// never waits for the hashing, and memory does not grow with the file.
constexpr std::size_t kKeptBlocks = 4;
// Writeback of what is hashed is started every 8 MB, so that the sync of a
// finished file waits for its last few MB, not for all of it.
constexpr std::uint64_t kWriteBehindBytes = 8 << 20;

}  // namespace

struct CPartialFile::Hasher {
    struct Block {
        std::uint64_t offset = 0;
        std::vector<char> bytes;
    };
    std::mutex mutex;
    std::condition_variable changed;
    std::uint64_t written = 0;             // bytes in the file
    std::deque<Block> kept;                // written, not hashed yet; in file order
    std::vector<std::vector<char>> spare;  // hashed, to be filled again
    bool closing = false;                  // finish(): nothing more comes
    std::atomic<bool> cancel{false};
    std::promise<std::string> digest;
    std::thread thread;

    // Hashes the file's bytes in order, from the kept blocks where it can,
    // from the file where it must; once closing and all hashed, syncs.
    void run(int fd, const std::string& path) {
        CMd5 md5;
        std::uint64_t hashed = 0;
        std::uint64_t flushing = 0;  // writeback started up to here
        bool readable = true;
        for (;;) {
            if (hashed - flushing >= kWriteBehindBytes) {
                ::sync_file_range(fd, static_cast<off_t>(flushing), static_cast<off_t>(hashed - flushing),
                                  SYNC_FILE_RANGE_WRITE);
                flushing = hashed;
            }
            Block block;
            std::uint64_t until = hashed;  // beyond: bytes to read back from the file
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return cancel || closing || hashed < written; });
                if (cancel) return;
                if (hashed == written) break;
                if (!kept.empty() && kept.front().offset == hashed) {
                    block = std::move(kept.front());
                    kept.pop_front();
                } else {
                    until = kept.empty() ? written : kept.front().offset;
                }
            }
            if (until > hashed) {
                readable = hashRange(fd, hashed, until - hashed, md5, &cancel) && readable;
                hashed = until;
                continue;
            }
            md5.update(block.bytes.data(), block.bytes.size());
            hashed += block.bytes.size();
            block.bytes.clear();
            std::lock_guard lock(mutex);
            spare.push_back(std::move(block.bytes));
        }
        // The file is renamed into place next: its bytes must be on disk
        // first, or a crash could leave a short archive under the final name.
        if (!readable)
            digest.set_exception(std::make_exception_ptr(std::runtime_error("cannot read " + path)));
        else if (::fdatasync(fd) != 0)
            digest.set_exception(std::make_exception_ptr(std::runtime_error("cannot write " + path)));
        else
            digest.set_value(md5.hex());
    }
};

CPartialFile::CPartialFile(std::string path) : mPath(std::move(path)) {
    // Read as well as written: the hashing thread reads back what it did not keep.
    mFd = ::open(mPath.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    struct stat status {};
    if (mFd >= 0 && ::fstat(mFd, &status) != 0) {
        ::close(mFd);
        mFd = -1;
    }
    if (mFd < 0) return;
    mSize = static_cast<std::uint64_t>(status.st_size);
    mBlock.reserve(kBlockBytes);
    startHashing(mSize);
}

CPartialFile::~CPartialFile() {
    stopHashing();
    if (mFd >= 0) ::close(mFd);
}

void CPartialFile::startHashing(std::uint64_t kept) {
    mHasher = std::make_unique<Hasher>();
    mHasher->written = kept;
    mHasher->thread = std::thread([hasher = mHasher.get(), fd = mFd, path = mPath] { hasher->run(fd, path); });
}

void CPartialFile::stopHashing() {
    if (!mHasher) return;
    {
        std::lock_guard lock(mHasher->mutex);
        mHasher->cancel = true;
    }
    mHasher->changed.notify_all();
    mHasher->thread.join();
    mHasher.reset();
}

bool CPartialFile::append(const char* data, std::size_t size) {
    while (size > 0) {
        const std::size_t part = std::min(size, kBlockBytes - mBlock.size());
        mBlock.insert(mBlock.end(), data, data + part);
        mSize += part;
        data += part;
        size -= part;
        if (mBlock.size() == kBlockBytes && !writeBlock()) return false;
    }
    return true;
}

bool CPartialFile::flush() { return mBlock.empty() || writeBlock(); }

bool CPartialFile::writeBlock() {
    if (fdfWriteAll(mFd, std::string_view(mBlock.data(), mBlock.size())) != 0) return false;
    Hasher& hasher = *mHasher;
    {
        std::lock_guard lock(hasher.mutex);
        const std::uint64_t offset = hasher.written;
        hasher.written += mBlock.size();
        if (hasher.kept.size() < kKeptBlocks) {
            hasher.kept.push_back({offset, std::move(mBlock)});
            mBlock.clear();
            if (!hasher.spare.empty()) {
                mBlock = std::move(hasher.spare.back());
                hasher.spare.pop_back();
            }
        }
    }
    hasher.changed.notify_all();
    mBlock.clear();
    mBlock.reserve(kBlockBytes);
    return true;
}

bool CPartialFile::restart() {
    stopHashing();
    mBlock.clear();
    mSize = 0;
    const bool emptied = ::ftruncate(mFd, 0) == 0;
    startHashing(0);
    return emptied;
}

std::future<std::string> CPartialFile::finish() {
    const bool flushed = flush();
    std::future<std::string> digest = mHasher->digest.get_future();
    if (!flushed) {
        stopHashing();
        std::promise<std::string> failed;
        failed.set_exception(std::make_exception_ptr(std::runtime_error("cannot write " + mPath)));
        return failed.get_future();
    }
    {
        std::lock_guard lock(mHasher->mutex);
        mHasher->closing = true;
    }
    mHasher->changed.notify_all();
    return digest;
}

}  // namespace NORBS_FETCH
