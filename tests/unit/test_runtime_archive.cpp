// Archive tests on KMZ files made here with libzip.
#include "orbs_archive.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>
#include <zip.h>

namespace fs = std::filesystem;

namespace {

class RuntimeArchive : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "orbs_archive_XXXXXX").string();
        dir = ::mkdtemp(pattern.data());
    }
    void TearDown() override { fs::remove_all(dir); }

    // Members are stored uncompressed so that a test can damage their bytes.
    void makeZip(const fs::path& file, const std::vector<std::pair<std::string, std::string>>& members) {
        zip_t* archive = zip_open(file.c_str(), ZIP_CREATE | ZIP_TRUNCATE, nullptr);
        ASSERT_NE(archive, nullptr);
        for (const auto& [name, content] : members) {
            const zip_int64_t index = zip_file_add(
                archive, name.c_str(), zip_source_buffer(archive, content.data(), content.size(), 0), 0);
            ASSERT_GE(index, 0);
            zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
        }
        ASSERT_EQ(zip_close(archive), 0);
    }
    static std::string readFile(const fs::path& file) {
        std::stringstream content;
        content << std::ifstream(file, std::ios::binary).rdbuf();
        return content.str();
    }

    fs::path dir;
};

}  // namespace

TEST_F(RuntimeArchive, EntriesInArchiveOrderAndExtraction) {
    const fs::path kmz = dir / "zone.kmz";
    makeZip(kmz, {{"doc.kml", "<kml>doc</kml>"}, {"other.kml", "<kml>other</kml>"}, {"images/a.png", "png"}});
    OrbsArchive archive;
    ASSERT_TRUE(archive.load(kmz.string()));
    ASSERT_EQ(archive.getNrOfEntries(), 3u);
    EXPECT_EQ(archive.at(0).getFilename(), "doc.kml");
    EXPECT_EQ(archive.at(1).getFilename(), "other.kml");
    EXPECT_EQ(archive.at(2).getFilename(), "images/a.png");

    const fs::path target = dir / "zone.kml";
    std::ofstream(target) << "an older, longer file that must be replaced entirely";
    ASSERT_TRUE(archive.extractAs(0, target.string()));
    EXPECT_EQ(readFile(target), "<kml>doc</kml>");
    EXPECT_FALSE(archive.extractAs(3, (dir / "none").string()));
    EXPECT_FALSE(archive.extractAs(0, (dir / "no/such/dir/x.kml").string()));
}

TEST_F(RuntimeArchive, DamagedOrMissingArchivesAreRefused) {
    const fs::path kmz = dir / "zone.kmz";
    makeZip(kmz, {{"doc.kml", std::string(4000, 'k')}});
    std::string bytes = readFile(kmz);
    std::ofstream(dir / "garbage.kmz") << "PK\x03\x04 this is no archive";
    std::ofstream(dir / "truncated.kmz") << bytes.substr(0, bytes.size() / 2);
    for (const char* name : {"garbage.kmz", "truncated.kmz", "missing.kmz"}) {
        OrbsArchive archive;
        EXPECT_FALSE(archive.load((dir / name).string())) << name;
        EXPECT_EQ(archive.getNrOfEntries(), 0u) << name;
    }
    // Damaged member data: the checksum refuses it and no file is left.
    bytes[bytes.find(std::string(100, 'k')) + 50] = 'X';
    std::ofstream(kmz, std::ios::trunc) << bytes;
    OrbsArchive archive(kmz.string());
    ASSERT_TRUE(archive.load());
    EXPECT_FALSE(archive.extractAs(0, (dir / "doc.kml").string()));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 3);
}
