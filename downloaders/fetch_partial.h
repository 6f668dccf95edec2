// The partial file of a download: what arrives is gathered into blocks,
// each written with one write() and hashed on a thread of the file's own
// while the download goes on, so that the MD5 of a finished file costs no
// second pass over it and no time on the transfer loop.  A finished file is
// on disk (synced) before anyone renames it into place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <future>
#include <memory>
#include <string>
#include <vector>

namespace NORBS_FETCH {

class CPartialFile {
public:
    // Opens `path` for appending (created when missing); the bytes already
    // in it, the start of a resumed download, are hashed first, on the
    // hashing thread.  See isOpen().
    explicit CPartialFile(std::string path);
    // Stops the hashing where it is; the bytes appended and not flushed are lost.
    ~CPartialFile();
    CPartialFile(const CPartialFile&) = delete;
    CPartialFile& operator=(const CPartialFile&) = delete;

    bool isOpen() const { return mFd >= 0; }
    const std::string& path() const { return mPath; }
    // Bytes in the file, the gathered ones included.
    std::uint64_t size() const { return mSize; }

    // False when the file cannot be written.
    bool append(const char* data, std::size_t size);
    // Writes what is gathered (the end of a request: a later attempt resumes from the file).
    bool flush();
    // Empties the file and hashes from byte 0 again (a server that answered
    // a ranged request with the whole file).
    bool restart();
    // Writes what is gathered and lets the hashing thread end: every byte
    // hashed, the file synced to disk.  The future gives the MD5 in
    // lower-case hex, or throws std::runtime_error("cannot read|write
    // <path>").  Nothing may be appended after.
    std::future<std::string> finish();

private:
    struct Hasher;
    bool writeBlock();
    void startHashing(std::uint64_t kept);
    void stopHashing();

    std::string mPath;
    int mFd = -1;
    std::uint64_t mSize = 0;
    std::vector<char> mBlock;  // gathered, not written yet
    std::unique_ptr<Hasher> mHasher;
};

}  // namespace NORBS_FETCH
