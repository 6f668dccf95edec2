// Streaming MD5 on OpenSSL's EVP interface.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

typedef struct evp_md_ctx_st EVP_MD_CTX;

namespace NORBS_FETCH {

class CMd5 {
public:
    CMd5();
    ~CMd5();
    CMd5(CMd5&&) noexcept;
    CMd5& operator=(CMd5&&) noexcept;
    void reset();
    void update(const void* data, std::size_t size);
    // Lower-case hex of everything given since the last reset.
    std::string hex() const;

private:
    struct Free {
        void operator()(EVP_MD_CTX* context) const;
    };
    std::unique_ptr<EVP_MD_CTX, Free> mContext;
};

// Feeds the first `length` bytes of a file (all of it when none) into
// `md5`; false when the file cannot be read that far.
bool hashFile(const std::string& path, CMd5& md5, std::optional<std::uint64_t> length = std::nullopt);
// Feeds `length` bytes of an open file, from `offset`, into `md5`; false
// when they cannot be read, or once `cancel` reads true (looked at between
// reads of 256 kB).
bool hashRange(int fd, std::uint64_t offset, std::uint64_t length, CMd5& md5,
               const std::atomic<bool>* cancel = nullptr);

// Size of a file; 0 when it cannot be read.
std::uint64_t fileSize(const std::string& path);
// Why a file of `size` bytes hashed to `md5` is not the one announced
// (size, then MD5; a 0 size or an empty MD5 announced is not checked);
// empty when it is.
std::string verificationMismatch(std::uint64_t announcedSize, const std::string& announcedMd5, std::uint64_t size,
                                 const std::string& md5);

}  // namespace NORBS_FETCH
