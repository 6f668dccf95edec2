// Environment table, configuration file and default layout.
#include "core_test_support.h"
#include "orbs_files_to_delete.h"

namespace orbs_test {
namespace {

std::string env(const std::string& key) {
    std::string value;
    EXPECT_EQ(fdfGetEnv(value, key), 0) << key;
    return value;
}

// The 14 lines of a configuration file.
std::string configuration(const fs::path& root) {
    const std::string aux = root.string() + "/auxiliary/";
    const std::vector<std::string> lines = {
        aux + "key_files/", aux + "mandatory/", root.string() + "/work/", root.string() + "/bin/",
        aux + "map_files/", aux + "description_files/", aux + "xml_parameters_definition/",
        aux + "description_files/", aux + "description_files/", aux + "xml_schema_files/",
        "MSBF", "ACTIVE", "unused", "-9999"};
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

using Environment = CoreTest;

TEST_F(Environment, DefaultLayoutWithoutConfigurationFile) {
    loadDefaultEnvironment();
    const std::string root = install().string() + "/";
    EXPECT_EQ(env("ORBISCAN_BATCH_DIR"), root + "work/");
    EXPECT_EQ(NorvikCore::get_work_file(), root + "work/Process.working");
    EXPECT_EQ(readFile(work() / "Process.working"), "0\nInit process\n");
}

TEST_F(Environment, ProcessVariablesOverrideWorkingBatchAndWorkFile) {
    const fs::path working = dir() / "w";
    fs::create_directories(working);
    // With or without a configuration file, given with its slash or not.
    for (const std::string& given : {working.string(), working.string() + "/"}) {
        resetCore();
        if (given.ends_with("/")) writeFile(install() / "Orbiscan_configuration.ini", configuration(install()));
        setenv("ORBISCAN_WORKING_DIR", given.c_str(), 1);
        loadDefaultEnvironment();
        EXPECT_EQ(env("ORBISCAN_WORKING_DIR"), working.string() + "/");
        EXPECT_EQ(NorvikCore::get_work_file(), working.string() + "/Process.working");
    }
    resetCore();
    fs::remove(install() / "Orbiscan_configuration.ini");
    setenv("ORBISCAN_BATCH_DIR", (dir() / "batch").c_str(), 1);
    setenv("ORBISCAN_WORKING_FILE", (dir() / "progress.txt").c_str(), 1);
    loadDefaultEnvironment();
    EXPECT_EQ(env("ORBISCAN_BATCH_DIR"), (dir() / "batch").string() + "/");
    EXPECT_EQ(NorvikCore::get_work_file(), (dir() / "progress.txt").string());
}

// The short, endless, binary and device files are refused end to end
// (Hostile.InstallationFiles); here the line-length boundary and a NUL.
TEST_F(Environment, OverlongOrBinaryConfigurationIsRefused) {
    const fs::path file = install() / "Orbiscan_configuration.ini";
    auto withFirstLine = [this](const std::string& line) {
        std::string text = configuration(install());
        return text.replace(0, text.find('\n'), line);
    };
    const struct {
        std::string text;
        std::string raised;  // "" when the file is accepted
    } cases[] = {
        {withFirstLine(std::string(1998, 'x')), ""},
        {withFirstLine(std::string(1999, 'x')), "configuration line too long"},
        {withFirstLine(std::string("/a\0b/", 5)), "configuration file is not a text file"},
    };
    for (const auto& c : cases) {
        resetCore();
        writeFile(file, c.text);
        const std::string raised = raisedBy([this] { loadDefaultEnvironment(); });
        if (c.raised.empty())
            EXPECT_EQ(raised, "nothing raised");
        else
            EXPECT_TRUE(raised.starts_with("120000@") && raised.ends_with(c.raised)) << raised;
    }
}

TEST_F(Environment, WorkFileIsCreatedOnceAndNeverOverwritten) {
    const fs::path progress = dir() / "progress";
    writeFile(progress, "42\nrunning\n");
    EXPECT_EQ(NorvikCore::set_work_file(progress.string()), 1);
    EXPECT_EQ(readFile(progress), "42\nrunning\n");
    EXPECT_EQ(NorvikCore::set_work_file((dir() / "missing" / "progress").string()), 0);
    EXPECT_EQ(NorvikCore::set_work_file(std::string(6000, 'p')), 0);
}

TEST_F(Environment, ActualStepIsCutAndFlattened) {
    NorvikCore::set_actual_step("line one\nline two" + std::string(100, '.'));
    EXPECT_EQ(NorvikCore::get_actual_step(), "line one line two" + std::string(63, '.'));
}

// In a fresh process (the "threadsafe" style re-executes the test binary),
// an explicit init() as the first call must count as the initialisation:
// a second one would replace the register while its deletion pass asks the
// accessors again.
TEST(CoreInitialisation, ExplicitInitFirstIsTheOnlyInit) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            NorvikCore::init();
            NorvikCore::insertFileToDelete("/nonexistent/orbs_registered", false);
            std::exit(NorvikCore::get_files_to_delete_ptr()->count() == 1 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace orbs_test
