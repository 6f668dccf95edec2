#include "orbs_core_generic_utility.h"

#include "core_test_support.h"

namespace orbs_test {
namespace {

std::string split(const std::string& path) {
    std::string drive, directory, name, extension;
    fdfSplitPath(path, drive, directory, name, extension);
    return drive + "|" + directory + "|" + name + "|" + extension;
}

using FileUtilities = CleanCoreTest;

TEST(PathSplitting, DriveDirectoryNameAndExtension) {
    EXPECT_EQ(split("/data/in/img.tif"), "/|/data/in/|img.tif|.tif");
    EXPECT_EQ(split("img.tif"), "||img.tif|.tif");
    EXPECT_EQ(split("in/sub/img"), "in|in/sub/|img|");
    EXPECT_EQ(split("/data/out/"), "/|/data/out/||");
    EXPECT_EQ(split("//server/share/a.b.c"), "//|//server/share/|a.b.c|.c");
    EXPECT_EQ(split("//?/x/y"), "/|/?/x/|y|");
    EXPECT_EQ(split("/img.tif"), "/|/|img.tif|.tif");

    std::string deep;
    for (int i = 0; i < 60; ++i) deep += "/c" + std::to_string(i);
    EXPECT_TRUE(split(deep).ends_with("/c47/c48/|c49|"));  // 50 components at most
    EXPECT_EQ(split("/" + std::string(7000, 'a')), "/|/|" + std::string(CORBS_MAX_PATH_LEN - 1, 'a') + "|");
}

TEST_F(FileUtilities, CreateDirBuildsEveryMissingLevel) {
    EXPECT_EQ(fdfCreateDir(at("a/b/c")), 1);
    EXPECT_EQ(fs::status(at("a/b/c")).permissions(), fs::perms::all);
    EXPECT_EQ(fdfCreateDir(at("a/b/c/")), 1);
    EXPECT_EQ(fdfCreateDir(nullptr), 0);
    EXPECT_EQ(fdfCreateDir("C:"), 1);
    EXPECT_EQ(fdfCreateDir("no_separator_dir"), 0);
    writeFile(at("plain"), "x");
    EXPECT_EQ(fdfCreateDir(at("plain/sub")), 0);

    const fs::path previous = fs::current_path();
    fs::current_path(mDir.path());
    EXPECT_EQ(fdfCreateDir("rel/sub"), 1);
    fs::current_path(previous);
    EXPECT_TRUE(fs::is_directory(mDir.path() / "rel/sub"));
}

TEST(TextUtilities, SuffixesAndFormatting) {
    EXPECT_TRUE(fdfEndsWith("image_HDR", "_hdr"));
    EXPECT_FALSE(fdfEndsWith("_hdr", "_hdr"));
    const auto withoutHdr = [](std::string text) { fdfRemoveSuffix(text, "_hdr"); return text; };
    EXPECT_EQ(withoutHdr("_hdr"), "_hdr");
    EXPECT_EQ(withoutHdr("scene_HDR_HDR"), "scene_HDR");

    EXPECT_EQ(fdfConcat("a\rjunk", "b\rjunk"), "a\nb");
    EXPECT_EQ(fdfFormat("%s", std::string(30000, 'z').c_str()).size(), 24999u);
}

TEST_F(FileUtilities, ReadTextLines) {
    writeFile(at("lines.txt"), "  first \r\n\n   \nsecond\t\n# end\nafter");
    EXPECT_EQ(fdfReadTextLines(at("lines.txt"), true, '#'), (std::vector<std::string>{"first", "", "", "second"}));
    EXPECT_EQ(fdfReadTextLines(at("lines.txt"), false, '\0'),
              (std::vector<std::string>{"  first ", "", "   ", "second\t", "# end", "after"}));
    // A line longer than the line buffer comes as several lines; a device
    // is not read at all (it would never end).
    writeFile(at("long.txt"), std::string(2'500'000, 'L') + "\nshort");
    EXPECT_EQ(fdfReadTextLines(at("long.txt"), false, '#'),
              (std::vector<std::string>{std::string(2'000'000, 'L'), std::string(500'000, 'L'), "short"}));
    EXPECT_FALSE(fdfReadTextLines("/dev/zero", false, '#'));
}

}  // namespace
}  // namespace orbs_test
