// Inputs of a hostile user: each run ends quickly with its documented code
// and a readable report, in bounded memory, and leaves the user's files as
// they were.
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include "auxiliaries_fixture.h"
#include "private_x_server.h"

namespace e2e {
namespace {

constexpr long kMemoryLimitMb = 1024;  // address space: a runaway run fails, never the machine
constexpr long kPeakMemoryKb = 200 * 1024;
constexpr double kSeconds = 5;

class Hostile : public Auxiliaries {
protected:
    void SetUp() override {
        Auxiliaries::SetUp();
        memoryLimitMb = kMemoryLimitMb;
        timeoutSeconds = 30;
    }

    // The run was quick and small; returns the error file's lines.
    std::vector<std::string> expectRefused(const RunResult& r, int code, const std::string& what) {
        EXPECT_EQ(r.status, code & 0xFF) << what << "\n" << r.err;
        EXPECT_LT(r.peakMemoryKb, kPeakMemoryKb) << what;
        EXPECT_LT(r.seconds, kSeconds) << what;
        const std::vector<std::string> error = readLines(work() / "Process.working_error");
        EXPECT_GE(error.size(), 3u) << what;
        if (error.size() >= 2) {
            EXPECT_NE(error[1].find("[EC : " + std::to_string(code) + "]"), std::string::npos) << what;
        }
        return error;
    }

    // The detail lines of the error file joined (the blank filler lines left out).
    static std::string details(const std::vector<std::string>& error) {
        std::string text;
        for (std::size_t i = 2; i < error.size(); ++i)
            if (error[i].find_first_not_of(' ') != std::string::npos) text += error[i];
        return text;
    }
};

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
    text.replace(text.find("full_download"), 13, "&e6;");
    return text;
}

TEST_F(Hostile, ParameterFilesThatWouldExhaustOrHangAreRefused) {
    writeParameters(output.string(), "full_download", "OK");
    const std::string bomb = entityBomb(readFile(parameters));
    writeFile(parameters, bomb);
    std::vector<std::string> error = expectRefused(runCommand(), 40021, "entities");
    EXPECT_NE(details(error).find("declares entities, which parameter files do not accept"), std::string::npos);
    EXPECT_EQ(readFile(parameters), bomb);

    // Anything but a regular file: a directory, a pipe nobody writes to,
    // a device without end.
    const struct {
        std::function<void(const fs::path&)> make;
        std::string reason;
    } specials[] = {
        {[](const fs::path& p) { fs::create_directories(p); }, "is a directory, not a file"},
        {[](const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }, "is a pipe, not a regular file"},
        {[](const fs::path& p) { fs::create_symlink("/dev/zero", p); }, "is a device, not a regular file"},
    };
    for (const auto& special : specials) {
        const fs::path path = scratch() / "special.sml";
        fs::remove_all(path);
        special.make(path);
        error = expectRefused(run({"main_sentinel_auxiliaries#" + path.string()}), 40021, special.reason);
        EXPECT_NE(details(error).find(special.reason), std::string::npos) << details(error);
    }
    EXPECT_FALSE(fs::exists(output));
}

TEST_F(Hostile, BlankOutputFolderIsRefused) {
    for (const std::string blank : {"   ", "&quot;&quot;", "\t"}) {
        writeParameters(blank, "full_download", "NotOK");
        const std::string text = readFile(parameters);
        const std::vector<std::string> error = expectRefused(runCommand(), 130005, "[" + blank + "]");
        EXPECT_EQ(details(error), "MAIN_SENTINEL_AUXILIARIES_CMD.output_folder is blank: name the folder of the auxiliary files");
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
    if (canHideUsrBin()) {
        withoutUsrBin = true;
        const RunResult r = runCommand();
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(received(), expected);
        ++runs;
    }
    if (PrivateXServer::start()) {
        withoutUsrBin = false;
        fs::remove(record);
        const RunResult r = runCommand();
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(received(), expected);
        ++runs;
    }
    if (runs == 0) GTEST_SKIP() << "neither a private mount namespace nor a terminal on this machine";
    for (const std::string& path : folderArguments(folder)) EXPECT_TRUE(fs::is_directory(path)) << path;
}

// The installation's own files replaced by endless or binary ones: refused
// before any file is named from them.
TEST_F(Hostile, EndlessOrBinaryInstallationFilesAreRefused) {
    const fs::path configuration = root() / "Orbiscan_configuration.ini";
    fs::create_symlink("/dev/zero", configuration);
    RunResult r = run({"main_sentinel_auxiliaries#/nowhere.sml"});
    EXPECT_EQ(r.status, 120000 & 0xFF);
    EXPECT_NE(r.err.find("configuration file is a device, not a regular file"), std::string::npos) << r.err;
    EXPECT_LT(r.seconds, kSeconds);

    fs::remove(configuration);
    writeFile(configuration, std::string("\x7f" "ELF\x02\x01\x01\n", 8) + std::string(20, 'x') + "\n");
    r = run({"main_sentinel_auxiliaries#/nowhere.sml"});
    EXPECT_EQ(r.status, 120000 & 0xFF);
    EXPECT_NE(r.err.find("configuration file is not a text file"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::is_empty(scratch())) << "files named from a binary configuration";
    EXPECT_TRUE(fs::is_empty(work()));

    // An endless catalogue is no catalogue: the report still comes.
    fs::remove(configuration);
    const fs::path catalogue = root() / "auxiliary/description_files/orbs_errors_catalog.des";
    fs::remove(catalogue);
    fs::create_symlink("/dev/zero", catalogue);
    r = run({"main_sentinel_auxiliaries#/nowhere.sml"});
    expectRefused(r, 40002, "endless catalogue");
}

// A working directory on a full file system (a small tmpfs, root only).
class FullDisk : public Hostile {
protected:
    void SetUp() override {
        Hostile::SetUp();
        if (::geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
        full = scratch() / "full";
        fs::create_directories(full);
        if (::mount("tmpfs", full.c_str(), "tmpfs", 0, "size=64k") != 0) GTEST_SKIP() << "tmpfs cannot be mounted";
        mounted = true;
        ASSERT_EQ(std::system(("dd if=/dev/zero of='" + (full / "filler").string() + "' bs=4k 2>/dev/null").c_str()) != -1,
                  true);
        env["ORBISCAN_WORKING_DIR"] = full.string();
        writeParameters(output.string(), "full_download", "OK");
        text = readFile(parameters);
    }
    void TearDown() override {
        if (mounted) ::umount(full.c_str());
        Hostile::TearDown();
    }

    bool archiveLeft() const {
        for (const auto& entry : fs::directory_iterator(full))
            if (entry.path().filename().string().ends_with("error.tgz")) return true;
        return false;
    }

    fs::path full;
    bool mounted = false;
    std::string text;
};

TEST_F(FullDisk, FailedWritesAreReportedAsSuch) {
    // The progress file elsewhere: the report there names the write.
    env["ORBISCAN_WORKING_FILE"] = (work() / "Process.working").string();
    const std::vector<std::string> error = expectRefused(runCommand(), 40004, "full working directory");
    EXPECT_EQ(error[1], "File cannot be written [EC : 40004]");
    EXPECT_NE(details(error).find("No space left on device"), std::string::npos) << details(error);
    EXPECT_FALSE(archiveLeft());
    EXPECT_EQ(readFile(parameters), text);
}

TEST_F(FullDisk, NothingWritableLeavesAClearStandardError) {
    const RunResult r = runCommand();
    EXPECT_EQ(r.status, 40004 & 0xFF);
    EXPECT_NE(r.err.find("File cannot be written [EC : 40004]"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("No space left on device"), std::string::npos) << r.err;
    const std::string progress = readFile(full / "Process.working");
    EXPECT_EQ(progress.find('\0'), std::string::npos);
    EXPECT_FALSE(archiveLeft());
    EXPECT_EQ(readFile(parameters), text);
}

}  // namespace
}  // namespace e2e
