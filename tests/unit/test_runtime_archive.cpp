// Archive tests on KMZ files made here with libzip.
#include "orbs_archive.h"

#include <zip.h>

#include "core_test_support.h"

namespace orbs_test {
namespace {

// Members are stored uncompressed so that a test can damage their bytes.
void makeZip(const fs::path& file, const std::vector<std::pair<std::string, std::string>>& members) {
    zip_t* archive = zip_open(file.c_str(), ZIP_CREATE | ZIP_TRUNCATE, nullptr);
    ASSERT_NE(archive, nullptr);
    for (const auto& [name, content] : members) {
        const zip_int64_t index =
            zip_file_add(archive, name.c_str(), zip_source_buffer(archive, content.data(), content.size(), 0), 0);
        ASSERT_GE(index, 0);
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
    }
    ASSERT_EQ(zip_close(archive), 0);
}

TEST(RuntimeArchive, EntriesInArchiveOrderAndExtraction) {
    const TempDir dir;
    const fs::path kmz = dir.path() / "zone.kmz";
    makeZip(kmz, {{"doc.kml", "<kml>doc</kml>"}, {"other.kml", "<kml>other</kml>"}, {"images/a.png", "png"}});
    OrbsArchive archive;
    ASSERT_TRUE(archive.load(kmz.string()));
    ASSERT_EQ(archive.getNrOfEntries(), 3u);
    EXPECT_EQ(archive.at(0).getFilename() + archive.at(1).getFilename() + archive.at(2).getFilename(),
              "doc.kmlother.kmlimages/a.png");

    const fs::path target = dir.path() / "zone.kml";
    writeFile(target, "an older, longer file that must be replaced entirely");
    ASSERT_TRUE(archive.extractAs(0, target.string()));
    EXPECT_EQ(readFile(target), "<kml>doc</kml>");
    EXPECT_FALSE(archive.extractAs(3, (dir.path() / "none").string()));
    EXPECT_FALSE(archive.extractAs(0, (dir.path() / "no/such/dir/x.kml").string()));
}

TEST(RuntimeArchive, DamagedOrMissingArchivesAreRefused) {
    const TempDir dir;
    const fs::path kmz = dir.path() / "zone.kmz";
    makeZip(kmz, {{"doc.kml", std::string(4000, 'k')}});
    std::string bytes = readFile(kmz);
    writeFile(dir.path() / "garbage.kmz", "PK\x03\x04 this is no archive");
    writeFile(dir.path() / "truncated.kmz", bytes.substr(0, bytes.size() / 2));
    for (const char* name : {"garbage.kmz", "truncated.kmz", "missing.kmz"}) {
        OrbsArchive archive;
        EXPECT_FALSE(archive.load((dir.path() / name).string())) << name;
        EXPECT_EQ(archive.getNrOfEntries(), 0u) << name;
    }
    // Damaged member data: the checksum refuses it and no file is left.
    bytes[bytes.find(std::string(100, 'k')) + 50] = 'X';
    writeFile(kmz, bytes);
    OrbsArchive archive(kmz.string());
    ASSERT_TRUE(archive.load());
    EXPECT_FALSE(archive.extractAs(0, (dir.path() / "doc.kml").string()));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 3);
}

}  // namespace
}  // namespace orbs_test
