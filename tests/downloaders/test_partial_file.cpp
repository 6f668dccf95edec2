// The partial file of a download: its digest is md5sum's digest of the file
// however the hashing thread kept up (bytes kept from an earlier run, a burst
// it reads back from the file, request boundaries, a restart from byte 0).
// Resuming what a stopped or cut transfer kept: the HubFetchRun tests.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <random>

#include "fetch_partial.h"
#include "temp_folder.h"
#include "test_files.h"

namespace {

namespace fs = std::filesystem;
using NORBS_FETCH::CPartialFile;
using PartialFile = TempFolderTest;

std::string md5sum(const fs::path& file) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(("md5sum '" + file.string() + "'").c_str(), "r"), ::pclose);
    char digest[33] = {};
    return pipe && std::fread(digest, 1, 32, pipe.get()) == 32 ? digest : "md5sum failed";
}

std::string randomBytes(std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& b : bytes) b = static_cast<char>(generator());
    return bytes;
}

TEST_F(PartialFile, DigestIsTheMd5OfTheFileHoweverTheHashingKeptUp) {
    const struct {
        const char* what;
        std::size_t kept, appended, chunk;  // kept in the file, then appended `chunk` bytes at a time
        std::size_t flushEvery;             // a request ends every so many bytes (0: never)
        std::size_t restartAt;              // the server starts again from byte 0 here (0: never)
    } cases[] = {
        {"fresh, less than a block", 0, 1000, 100, 0, 0},
        // Written far faster than MD5 goes: most blocks are read back.
        {"kept bytes, then a burst", 3'000'000, 40'000'000, 102'400, 0, 0},
        {"requests of 1 MB", 0, 5'000'000, 16'384, 1'000'000, 0},
        {"restarted half-way", 2'000'000, 6'000'000, 65'536, 0, 3'000'000},
        {"already whole", 700'000, 0, 1, 0, 0},
    };
    const fs::path path = mRoot / "product.incomplete", reference = mRoot / "reference";
    for (const auto& c : cases) {
        std::string expected = randomBytes(c.kept, 1);
        test_files::writeFile(path, expected);
        const std::string incoming = randomBytes(c.appended, 2);
        std::string digest;
        {
            CPartialFile file(path.string());
            ASSERT_TRUE(file.isOpen()) << c.what;
            EXPECT_EQ(file.size(), c.kept) << c.what;
            for (std::size_t done = 0; done < incoming.size(); done += c.chunk) {
                if (c.restartAt > 0 && done >= c.restartAt && done - c.chunk < c.restartAt) {
                    ASSERT_TRUE(file.restart()) << c.what;
                    expected.clear();
                }
                const std::size_t part = std::min(c.chunk, incoming.size() - done);
                ASSERT_TRUE(file.append(incoming.data() + done, part)) << c.what;
                expected.append(incoming, done, part);
                if (c.flushEvery > 0 && done / c.flushEvery != (done + part) / c.flushEvery) {
                    ASSERT_TRUE(file.flush()) << c.what;
                }
            }
            EXPECT_EQ(file.size(), expected.size()) << c.what;
            digest = file.finish().get();
        }
        test_files::writeFile(reference, expected);
        EXPECT_EQ(digest, md5sum(reference)) << c.what;
        EXPECT_EQ(md5sum(path), md5sum(reference)) << c.what;
    }
}

}  // namespace
