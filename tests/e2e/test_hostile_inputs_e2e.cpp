// Inputs of a hostile user, the rows of the README's bad-input table: each
// run ends quickly with its documented code and a readable report, in
// bounded memory, and leaves the user's files as they were.  One table per
// kind of input; each row is named as in the README.
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include "e2e_support.h"

namespace e2e {
namespace {
constexpr long kMemoryLimitMb = 1024;  // address space: a runaway run fails, never the machine
constexpr long kPeakMemoryKb = 200 * 1024;
#ifdef ORBS_SANITIZED
constexpr double kSeconds = 20;  // instrumented code reads the 200 MB file several times slower
#else
constexpr double kSeconds = 5;
#endif

// What a path is; a write, a removal or a replacement changes it.
struct Snapshot {
    fs::file_type type = fs::file_type::not_found;
    std::uintmax_t size = 0;
    fs::file_time_type time{};
    fs::path target;  // of a symbolic link
    bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot(const fs::path& path) {
    Snapshot s;
    s.type = fs::symlink_status(path).type();
    if (s.type == fs::file_type::symlink) s.target = fs::read_symlink(path);
    if (s.type == fs::file_type::regular) s.size = fs::file_size(path);
    if (s.type == fs::file_type::regular || s.type == fs::file_type::directory) s.time = fs::last_write_time(path);
    return s;
}

// Every entry of a folder and the folder itself.
std::map<fs::path, Snapshot> snapshots(const fs::path& dir) {
    std::map<fs::path, Snapshot> all{{dir, snapshot(dir)}};
    for (const auto& entry : fs::recursive_directory_iterator(dir)) all[entry.path()] = snapshot(entry.path());
    return all;
}

// The detail lines of an error file joined (blank filler lines left out):
// the text as given, whatever its wrapping.
std::string details(const std::vector<std::string>& error) {
    std::string text;
    for (std::size_t i = 2; i < error.size(); ++i)
        if (error[i].find_first_not_of(' ') != std::string::npos) text += error[i];
    return text;
}

void expectBounded(const RunResult& r, const std::string& what) {
    EXPECT_LT(r.peakMemoryKb, kPeakMemoryKb) << what;
    EXPECT_LT(r.seconds, kSeconds) << what;
}

// The run ended with `code`, its error file names it and holds `detail`.
void expectRefused(const RunResult& r, const fs::path& errorFile, int code, const std::string& detail,
                   const std::string& what) {
    EXPECT_EQ(r.status, code & 0xFF) << what << "\n" << r.err;
    expectBounded(r, what);
    const std::vector<std::string> error = readLines(errorFile);
    ASSERT_GE(error.size(), 3u) << what;
    EXPECT_NE(error[1].find("[EC : " + std::to_string(code) + "]"), std::string::npos) << what << ": " << error[1];
    EXPECT_EQ(details(error), detail) << what;
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

// Six nested entities, each ten copies of the one before: a few hundred
// bytes that would expand to a gigabyte of text.
std::string entityBomb(const std::string& good) {
    std::string declarations = "<!DOCTYPE PARAMETERS_INFO_SENTINEL_AUXILIARIES_CMD [\n<!ENTITY e0 \"aaaaaaaaaa\">\n";
    for (int level = 1; level <= 6; ++level) {
        std::string copies;
        for (int i = 0; i < 10; ++i) copies += "&e" + std::to_string(level - 1) + ";";
        declarations += "<!ENTITY e" + std::to_string(level) + " \"" + copies + "\">\n";
    }
    std::string text = good;
    text.insert(text.find('\n') + 1, declarations + "]>\n");
    return replaced(text, "full_download", "&e6;");
}

// The good file with `bytes` bytes of `fill` between `open` and `close`,
// inserted before the general parameters' closing tag, written in pieces.
void writeWithPadding(const fs::path& path, const std::string& good, const std::string& open, char fill,
                      std::size_t bytes, const std::string& close) {
    const std::size_t at = good.find("</GENERAL_PARAMETERS_CMD>");
    std::ofstream out(path, std::ios::binary);
    out << good.substr(0, at) << open;
    const std::string piece(1 << 20, fill);
    for (std::size_t written = 0; written < bytes; written += piece.size())
        out.write(piece.data(), static_cast<std::streamsize>(std::min(piece.size(), bytes - written)));
    out << close << "\n" << good.substr(at);
}

class Hostile : public Auxiliaries {
protected:
    void SetUp() override {
        Auxiliaries::SetUp();
        memoryLimitMb = kMemoryLimitMb;
        timeoutSeconds = 60;
    }
    fs::path errorFile() const { return work() / "Process.working_error"; }
    // Runs that get as far as the downloader: started directly, or in a
    // terminal on a private X server.
    bool canStartTheDownloader() {
        withoutUsrBin = canHideUsrBin();
        return withoutUsrBin || PrivateXServer::start();
    }
};

TEST_F(Hostile, ParameterFiles) {
    if (!canStartTheDownloader()) GTEST_SKIP() << "neither a private mount namespace nor a terminal on this machine";
    writeParameters(output.string(), "full_download", "OK");
    const std::string good = readFile(parameters);
    auto text = [](std::string t) { return [t](const fs::path& p, const std::string&) { writeFile(p, t); }; };
    auto changed = [](const std::string& from, const std::string& to) {
        return [from, to](const fs::path& p, const std::string& g) { writeFile(p, replaced(g, from, to)); };
    };
    std::string deep = "<?xml version=\"1.0\" ?>\n";
    for (int i = 0; i < 100000; ++i) deep += "<a>";
    for (int i = 0; i < 100000; ++i) deep += "</a>";

    const struct {
        std::string row;
        std::function<void(const fs::path&, const std::string& good)> make;
        int code;            // 0: read, and the downloader started
        std::string detail;  // of the error file; "@" stands for the file's path
    } cases[] = {
        {"not XML", text("<not xml"), 40021, "@"},
        {"empty", text(""), 40021, "@"},
        {"a directory", [](auto& p, auto&) { fs::create_directories(p); }, 40021, "@: is a directory, not a file"},
        {"a pipe", [](auto& p, auto&) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }, 40021, "@: is a pipe, not a regular file"},
        {"/dev/zero", [](auto& p, auto&) { fs::create_symlink("/dev/zero", p); }, 40021, "@: is a device, not a regular file"},
        {"entities", [](auto& p, auto& g) { writeFile(p, entityBomb(g)); }, 40021,
         "@: declares entities, which parameter files do not accept"},
        {"huge (200 MB)", [](auto& p, auto& g) { writeWithPadding(p, g, "<padding>", 'v', 200 << 20, "</padding>"); }, 0, ""},
        {"nested 100 000 deep", text(deep), 40021, "@"},
        {"a 10 MB line", [](auto& p, auto& g) { writeWithPadding(p, g, "<!-- ", 'c', 10 << 20, " -->"); }, 40021,
         "@: holds a tag or comment longer than 256 KiB"},
        {"invalid UTF-8", changed("out dir", "out \xff\xfe\xc3("), 0, ""},
        {"NUL bytes", changed("full_download", std::string("full\0download", 13)), 40021, "@"},
        {"wrong root", changed("PARAMETERS_INFO_SENTINEL_AUXILIARIES_CMD", "OTHER_ROOT"), 40001, "@"},
        {"wrong environment", changed("IDL_ENVI_ENV", "OTHER_ENV"), 40001, "@"},
        {"missing section", changed("MAIN_SENTINEL_AUXILIARIES_CMD", "OTHER_SECTION"), 40001, "@"},
        {"missing mandatory field", changed("output_folder>", "other_folder>"), 130005, "output_folder"},
    };
    for (const auto& c : cases) {
        fs::remove_all(parameters);
        fs::remove_all(scratch() / "out dir");
        fs::remove_all(scratch() / "out \xff\xfe\xc3(");
        fs::remove(record);
        c.make(parameters, good);
        const Snapshot before = snapshot(parameters);
        const RunResult r = runCommand();
        if (c.code == 0) {
            EXPECT_EQ(r.status, 0) << c.row << "\n" << r.err;
            expectBounded(r, c.row);
            EXPECT_EQ(received().at(1), parameters.string()) << c.row;
        } else {
            expectRefused(r, errorFile(), c.code, replaced(c.detail, "@", parameters.string()), c.row);
            EXPECT_FALSE(fs::exists(output)) << c.row;
        }
        EXPECT_EQ(snapshot(parameters), before) << c.row;
    }
}

TEST_F(Hostile, BlankOutputFolderIsRefused) {
    for (const std::string blank : {"   ", "&quot;&quot;", "\t"}) {
        writeParameters(blank, "full_download", "NotOK");
        const std::string text = readFile(parameters);
        expectRefused(runCommand(), errorFile(), 130005,
                      "MAIN_SENTINEL_AUXILIARIES_CMD.output_folder is blank: name the folder of the auxiliary files",
                      "[" + blank + "]");
        EXPECT_EQ(readFile(parameters), text);
        EXPECT_FALSE(fs::exists(record));
    }
    EXPECT_FALSE(fs::exists("/AUX_INS"));
}

// Quotes and backslashes in a folder or in the parameter file's path reach
// the downloader inside their own argument, with and without a terminal.
TEST_F(Hostile, QuotesNeverBecomeArguments) {
    const std::string folder = output.string() + "/q\" -w --evil \"x\\";
    parameters = scratch() / "my \"quoted\" parameters\\" / "aux\".sml";
    writeParameters(folder, "full_download", "OK");
    const std::vector<std::string> expected = join({"-c", parameters.string()}, folderArguments(folder));

    int runs = 0;
    for (const bool terminal : {false, true}) {
        if (!(terminal ? PrivateXServer::start() : canHideUsrBin())) continue;
        withoutUsrBin = !terminal;
        fs::remove(record);
        const RunResult r = runCommand();
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(received(), expected);
        ++runs;
    }
    if (runs == 0) GTEST_SKIP() << "neither a private mount namespace nor a terminal on this machine";
    for (const std::string& path : folderArguments(folder)) EXPECT_TRUE(fs::is_directory(path)) << path;
}

// The installation's own files short, endless, binary or missing: refused
// before any file is named from them, or reported with the texts the
// catalogue cannot give.
TEST_F(Hostile, InstallationFiles) {
    const fs::path configuration = root() / "Orbiscan_configuration.ini";
    const fs::path catalogue = root() / "auxiliary/description_files/orbs_errors_catalog.des";
    const std::string elf = std::string("\x7f" "ELF\x02\x01\x01\n", 8) + std::string(20, 'x') + "\n";
    const std::string catalogueText = readFile(catalogue);
    auto text = [](std::string t) { return [t](const fs::path& p) { writeFile(p, t); }; };
    auto endless = [](const fs::path& p) { fs::create_symlink("/dev/zero", p); };
    const std::string initReport = "AN ERROR OCCUR DURING Orbiscan INIT  : [40002] [EC : 40002]";
    const struct {
        std::string row;
        fs::path file;
        std::function<void(const fs::path&)> make;
        int code;
        std::string report;  // in the standard error (configuration) or the error file (catalogue)
    } cases[] = {
        {"configuration short", configuration, text("/a/\n/b/\n"), 120000, "[EC : 120000]"},
        {"configuration with an endless line", configuration, text(std::string(10 << 20, '/')), 120000,
         "configuration line too long"},
        {"configuration endless", configuration, endless, 120000, "configuration file is a device, not a regular file"},
        {"configuration binary", configuration, text(elf), 120000, "configuration file is not a text file"},
        {"catalogue missing", catalogue, [](const fs::path&) {}, 40002, initReport},
        {"catalogue short", catalogue, text("27\nnames\nA\nB\n"), 40002, initReport},
        {"catalogue binary", catalogue, text(elf + std::string(3000, '\x90')), 40002, initReport},
        {"catalogue endless", catalogue, endless, 40002, initReport},
    };
    for (const auto& c : cases) {
        fs::remove(configuration);
        writeFile(catalogue, catalogueText);
        fs::remove(c.file);
        c.make(c.file);
        fs::remove_all(work());
        fs::create_directories(work());
        const Snapshot before = snapshot(c.file);
        const RunResult r = run({"main_sentinel_auxiliaries#/nowhere.sml"});
        EXPECT_EQ(r.status, c.code & 0xFF) << c.row;
        expectBounded(r, c.row);
        if (c.code == 120000) {
            EXPECT_NE(r.err.find(c.report), std::string::npos) << c.row << "\n" << r.err;
            EXPECT_TRUE(fs::is_empty(work())) << c.row << ": files named from a broken configuration";
        } else {
            const std::vector<std::string> error = readLines(errorFile());
            EXPECT_EQ(error.size() > 1 ? error[1] : "", c.report) << c.row;
        }
        EXPECT_TRUE(fs::is_empty(scratch())) << c.row;
        EXPECT_EQ(snapshot(c.file), before) << c.row;
    }
}

// The progress file removed, or replaced by a directory, while the command
// waits for the downloader: the first is written again (and removed at the
// end), the second is left as it is and reported.
TEST_F(Hostile, ProgressFileTamperedWithWhileWaiting) {
    if (!canHideUsrBin()) GTEST_SKIP() << "cannot hide /usr/bin/xterm on this machine";
    withoutUsrBin = true;
    writeParameters(output.string(), "full_download", "OK");
    env["ORBS_DOUBLE_AWAIT"] = "50";
    const fs::path progress = work() / "Process.working";

    env["ORBS_DOUBLE_TAMPER"] = "remove";
    const RunResult r = runCommand();
    EXPECT_EQ(r.status, 0) << r.err;
    expectBounded(r, "removed");
    EXPECT_FALSE(fs::exists(progress));

    env["ORBS_DOUBLE_TAMPER"] = "directory";
    expectRefused(runCommand(), errorFile(), 40000, progress.string() + " is a directory, not a file", "a directory");
    EXPECT_TRUE(fs::is_directory(progress));
}

// A working directory on a small tmpfs made by the test (root only): full,
// or mounted read-only.
class SmallFileSystem : public Hostile {
protected:
    void SetUp() override {
        Hostile::SetUp();
        if (::geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
        mount = scratch() / "mount";
        fs::create_directories(mount);
        writeParameters(output.string(), "full_download", "OK");
        text = readFile(parameters);
    }
    void TearDown() override {
        if (mounted) ::umount(mount.c_str());
        Hostile::TearDown();
    }
    void mountTmpfs(unsigned long flags) {
        if (::mount("tmpfs", mount.c_str(), "tmpfs", flags, "size=64k") != 0) GTEST_SKIP() << "tmpfs cannot be mounted";
        mounted = true;
        env["ORBISCAN_WORKING_DIR"] = mount.string();
    }
    void fill() {
        ASSERT_NE(std::system(("dd if=/dev/zero of='" + (mount / "filler").string() + "' bs=4k 2>/dev/null").c_str()), -1);
    }
    bool archiveLeft() const {
        for (const auto& entry : fs::directory_iterator(mount))
            if (entry.path().filename().string().ends_with("error.tgz")) return true;
        return false;
    }

    fs::path mount;
    bool mounted = false;
    std::string text;
};

TEST_F(SmallFileSystem, FullWorkingDirectoryReportsTheFailedWrite) {
    mountTmpfs(0);
    fill();
    // The progress file elsewhere: the report there names the write.
    env["ORBISCAN_WORKING_FILE"] = (work() / "Process.working").string();
    expectRefused(runCommand(), errorFile(), 40004,
                  (mount / "PARAMETERS_INFO_SENTINEL_AUXILIARIES_CMD.xsd").string() + ": No space left on device",
                  "full working directory");
    EXPECT_FALSE(archiveLeft());
    EXPECT_EQ(readFile(parameters), text);
}

TEST_F(SmallFileSystem, NothingWritableLeavesAClearStandardError) {
    for (const bool readOnly : {false, true}) {
        if (mounted) ::umount(mount.c_str());
        mountTmpfs(readOnly ? MS_RDONLY : 0);
        if (!readOnly) fill();
        const std::string reason = readOnly ? "Read-only file system" : "No space left on device";
        const RunResult r = runCommand();
        EXPECT_EQ(r.status, 40004 & 0xFF) << reason;
        expectBounded(r, reason);
        EXPECT_NE(r.err.find("File cannot be written [EC : 40004]"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(reason), std::string::npos) << r.err;
        EXPECT_EQ(readFile(mount / "Process.working").find('\0'), std::string::npos);
        EXPECT_FALSE(archiveLeft());
        EXPECT_EQ(readFile(parameters), text);
    }
}

// Areas of interest of the product search: each refused with 40001, the
// user's files as they were.
class HostileArea : public ScihubGet {
protected:
    void SetUp() override {
        ScihubGet::SetUp();
        memoryLimitMb = kMemoryLimitMb;
        timeoutSeconds = 60;
    }
    // A copy of the example's shapefile under another name.
    fs::path garda(const std::string& name) {
        for (const char* extension : {".shp", ".shx", ".dbf"})
            fs::copy_file(fs::path(ORBS_SOURCE_DIR) / "examples/scihub/area" / (std::string("garda") + extension),
                          area() / (name + extension));
        return area() / (name + ".shp");
    }
    fs::path area() const { return scratch() / "area"; }
};

std::string littleEndian32(std::uint32_t value) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(value >> (8 * i));
    return bytes;
}

TEST_F(HostileArea, RefusedWithTheUsersFilesKept) {
    fs::create_directories(area());
    const std::string kml = "<?xml version=\"1.0\"?>\n<kml xmlns=\"http://www.opengis.net/kml/2.2\"><Document><Placemark>"
                            "<Point><coordinates>10,45,0</coordinates></Point></Placemark></Document></kml>\n";
    const fs::path run = progressFile.parent_path();
    const struct {
        std::string row;
        std::function<fs::path()> make;  // the area file
        std::string detail;              // "@" stands for the area file, "#" for the parameter file
    } cases[] = {
        {"shapefile truncated", [&] { const fs::path shp = garda("truncated"); fs::resize_file(shp, 150); return shp; }, "@"},
        {"shapefile of a type outside the table",  // 31 (multipatch) at byte 32 of the .shp and the .shx
         [&] {
             const fs::path shp = garda("multipatch");
             for (const char* extension : {".shp", ".shx"}) {
                 std::string bytes = readFile(fs::path(shp).replace_extension(extension));
                 writeFile(fs::path(shp).replace_extension(extension), bytes.replace(32, 4, littleEndian32(31)));
             }
             return shp;
         },
         "@"},
        {"mismatched .dbf",  // a second record in the table of one polygon
         [&] {
             const fs::path shp = garda("mismatched");
             const fs::path dbf = fs::path(shp).replace_extension(".dbf");
             std::string table = readFile(dbf);
             const std::size_t header = static_cast<unsigned char>(table[8]) | static_cast<unsigned char>(table[9]) << 8;
             const std::size_t record = static_cast<unsigned char>(table[10]) | static_cast<unsigned char>(table[11]) << 8;
             table.insert(header + record, table.substr(header, record));
             table.replace(4, 4, littleEndian32(2));
             writeFile(dbf, table);
             return shp;
         },
         "@"},
        {"KML without polygon", [&] { writeFile(area() / "point.kml", kml); return area() / "point.kml"; },
         (run / "out_aoi.shp").string()},
        {"KMZ corrupt", [&] { writeFile(area() / "corrupt.kmz", "PK\x03\x04 not really a zip archive"); return area() / "corrupt.kmz"; },
         "#"},
        {"KMZ without KML",
         [&] {
             writeFile(area() / "readme.txt", "no area here\n");
             EXPECT_EQ(std::system(("cd '" + area().string() + "' && zip -q nokml.kmz readme.txt").c_str()), 0);
             return area() / "nokml.kmz";
         },
         (run / "nokml.shp").string()},
    };
    for (const auto& c : cases) {
        const fs::path file = c.make();
        writeParameters({{"input_shape", file.string()}});
        const auto before = snapshots(area());
        const Snapshot parametersBefore = snapshot(parameters);
        const RunResult r = runCommand();
        expectRefused(r, work() / "Process.working_error", 40001,
                      replaced(replaced(c.detail, "@", file.string()), "#", parameters.string()), c.row);
        EXPECT_EQ(snapshots(area()), before) << c.row;
        EXPECT_EQ(snapshot(parameters), parametersBefore) << c.row;
    }
}
}  // namespace
}  // namespace e2e
