#include "orbs_core_generic_utility.h"

#include <cmath>

#include "core_test_support.h"

namespace orbs_test {
namespace {

// Where the raises of these utilities come from.
const std::string kAt = "@orbiscan_utility/tools_library/orbs_core_generic_utility:";

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

TEST_F(FileUtilities, UnixCopyAndFilesync) {
    writeFile(at("empty"), "");
    EXPECT_EQ(flocalUnixCopyFile(at("empty"), at("empty_copy")), 1);
    EXPECT_TRUE(fs::exists(at("empty_copy")) && fdfFileSize(at("empty_copy")) == 0u);

    const std::string big = std::string(10000, 'b') + "end";
    writeFile(at("big"), big);
    EXPECT_EQ(flocalUnixCopyFile(at("big"), at("big_copy")), 1);
    EXPECT_EQ(readFile(at("big_copy")), big);
    EXPECT_EQ(flocalUnixCopyFile(at("missing"), at("never")), 0);
    EXPECT_FALSE(fs::exists(at("never")));

    EXPECT_EQ(forbsFilesync(at("big"), true), 1);
    EXPECT_EQ(forbsFilesync(at("missing"), false), 0);
    EXPECT_EQ(raisedBy([&] { forbsFilesync(at("missing"), true); }), "40001" + kAt + "1250:" + at("missing"));
}

TEST_F(FileUtilities, CopyWithCompanionsOrThroughTheParameterFile) {
    for (const char* name : {"src", "src_hdr", "src.sml", "src.shp", "dst.hdr"}) writeFile(at(name), name);
    fdfCopyFile(at("src"), at("dst"), true);
    for (const std::string suffix : {"", "_hdr", ".sml", ".shp"}) EXPECT_EQ(readFile(at("dst") + suffix), "src" + suffix);
    EXPECT_FALSE(fs::exists(at("dst.hdr")));  // stale header of the old destination
    EXPECT_EQ(raisedBy([&] { fdfCopyFile(at("absent"), at("dst2"), true); }), "40003" + kAt + "1892:" + at("dst2"));

    // A missing raster named by its header: the parameter file is copied.
    EXPECT_EQ(raisedBy([&] { fdfCopyFile(at("none_hdr"), at("out2_hdr"), false); }),
              "40002" + kAt + "1640:" + at("none_hdr"));
    writeFile(at("img.sml"), "params");
    fdfCopyFile(at("img_hdr"), at("out_hdr"), false);
    EXPECT_EQ(readFile(at("out.sml")), "params");
}

TEST_F(FileUtilities, RenameMovesCompanionsAndClearsTheSource) {
    for (const char* name : {"a", "a.hdr", "a.sml", "b.sml"}) writeFile(at(name), name);
    fdfRenameFile(at("a"), at("b"), true);
    for (const char* suffix : {"", ".hdr", ".sml"}) {
        EXPECT_EQ(readFile(at("b") + suffix), "a" + std::string(suffix));
        EXPECT_FALSE(fs::exists(at("a") + suffix));
    }
    // Without companions the source's header is not moved, but still removed.
    for (const char* name : {"c", "c.hdr"}) writeFile(at(name), name);
    fdfRenameFile(at("c"), at("d"), false);
    EXPECT_TRUE(fs::exists(at("d")));
    EXPECT_FALSE(fs::exists(at("d.hdr")) || fs::exists(at("c.hdr")));
    EXPECT_EQ(raisedBy([&] { fdfRenameFile(at("missing"), at("e"), true); }), "40002" + kAt + "2047:" + at("missing"));
}

TEST(TextUtilities, TrimSuffixesComparisonsAndFormatting) {
    EXPECT_EQ(fdfTrim(" \t ab c\t "), "ab c");
    EXPECT_FALSE(fdfTrim(" \t  "));
    EXPECT_TRUE(fdfEndsWith("image_HDR", "_hdr"));
    EXPECT_FALSE(fdfEndsWith("_hdr", "_hdr"));
    const auto withoutHdr = [](std::string text) { fdfRemoveSuffix(text, "_hdr"); return text; };
    EXPECT_EQ(withoutHdr("_hdr"), "_hdr");
    EXPECT_EQ(withoutHdr("scene_HDR_HDR"), "scene_HDR");

    EXPECT_EQ(fdfCompareNullable(nullptr, "a") * 10 + fdfCompareNullable("a", nullptr), -9);
    EXPECT_EQ(fdfCompareNullable(nullptr, nullptr) + fdfCompareNullable("abc", "ABC"), 0);
    EXPECT_GT(fdfCompareNullable("abcd", "ABC"), 0);

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

    // A missing file is looked for in the working directory.
    const bool ownTable = !environmentExists();
    if (ownTable) createEnvironmentTable(CORBS_ENV_TABLE_CAPACITY);
    fdfSetEnv(mDir.str() + "/", "ORBISCAN_WORKING_DIR");
    EXPECT_EQ(fdfReadTextLines("elsewhere/lines.txt", true, '#').value().size(), 4u);
    EXPECT_FALSE(fdfReadTextLines(at("nowhere.txt"), false, '#'));
    fdfSetEnv(nullptr, "ORBISCAN_WORKING_DIR");
    EXPECT_EQ(raisedBy([&] { fdfReadTextLines(at("nowhere.txt"), false, '#'); }),
              "120000" + kAt + "5784:ORBISCAN_WORKING_DIR");
    if (ownTable) destroyEnvironmentTable();
}

TEST(NumberUtilities, HalfPrecisionToFloat) {
    EXPECT_EQ(fdfHalfToFloat(0x3C00), 1.0f);
    EXPECT_EQ(fdfHalfToFloat(0x7BFF), 65504.0f);
    EXPECT_EQ(fdfHalfToFloat(0x0001), std::ldexp(1.0f, -24));
    EXPECT_EQ(fdfHalfToFloat(0x03FF), std::ldexp(1023.0f, -24));
    EXPECT_TRUE(std::signbit(fdfHalfToFloat(0x8000)));
    EXPECT_EQ(fdfHalfToFloat(0xFC00), -INFINITY);
    EXPECT_TRUE(std::isnan(fdfHalfToFloat(0x7E00)));
}

}  // namespace
}  // namespace orbs_test
