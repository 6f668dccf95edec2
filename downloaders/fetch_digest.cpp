// Streaming MD5.
#include "fetch_digest.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <vector>

namespace NORBS_FETCH {

void CMd5::Free::operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }

CMd5::CMd5() : mContext(EVP_MD_CTX_new()) {
    if (!mContext) throw std::bad_alloc();
    reset();
}
CMd5::~CMd5() = default;
CMd5::CMd5(CMd5&&) noexcept = default;
CMd5& CMd5::operator=(CMd5&&) noexcept = default;

void CMd5::reset() {
    if (EVP_DigestInit_ex(mContext.get(), EVP_md5(), nullptr) != 1) throw std::runtime_error("MD5 not available");
}

void CMd5::update(const void* data, std::size_t size) { EVP_DigestUpdate(mContext.get(), data, size); }

std::string CMd5::hex() const {
    // Finalised on a copy, so that the running digest can go on.
    std::unique_ptr<EVP_MD_CTX, Free> copy(EVP_MD_CTX_new());
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!copy || EVP_MD_CTX_copy_ex(copy.get(), mContext.get()) != 1 ||
        EVP_DigestFinal_ex(copy.get(), digest, &length) != 1)
        throw std::runtime_error("MD5 failed");
    static const char* digits = "0123456789abcdef";
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        text += digits[digest[i] >> 4];
        text += digits[digest[i] & 15];
    }
    return text;
}

bool hashFile(const std::string& path, CMd5& md5, std::optional<std::uint64_t> length) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat status {};
    const bool hashed = ::fstat(fd, &status) == 0 &&
                        length.value_or(0) <= static_cast<std::uint64_t>(status.st_size) &&
                        hashRange(fd, 0, length.value_or(static_cast<std::uint64_t>(status.st_size)), md5);
    ::close(fd);
    return hashed;
}

bool hashRange(int fd, std::uint64_t offset, std::uint64_t length, CMd5& md5, const std::atomic<bool>* cancel) {
    std::vector<char> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(length, 256 * 1024)));
    while (length > 0) {
        if (cancel != nullptr && *cancel) return false;
        const ssize_t got = ::pread(fd, buffer.data(), std::min<std::size_t>(buffer.size(), length),
                                    static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        md5.update(buffer.data(), static_cast<std::size_t>(got));
        offset += static_cast<std::uint64_t>(got);
        length -= static_cast<std::uint64_t>(got);
    }
    return true;
}

std::uint64_t fileSize(const std::string& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? 0 : size;
}

std::string verificationMismatch(std::uint64_t announcedSize, const std::string& announcedMd5, std::uint64_t size,
                                 const std::string& md5) {
    if (announcedSize > 0 && size != announcedSize)
        return "size " + std::to_string(size) + " instead of " + std::to_string(announcedSize);
    if (!announcedMd5.empty() && md5 != announcedMd5) return "MD5 " + md5 + " instead of " + announcedMd5;
    return {};
}

}  // namespace NORBS_FETCH
