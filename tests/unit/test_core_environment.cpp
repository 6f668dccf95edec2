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

// The 14 lines of a configuration file, each ended by `lineEnd`.
std::string configuration(const fs::path& root, const std::string& lineEnd) {
    const std::string aux = root.string() + "/auxiliary/";
    const std::vector<std::string> lines = {
        aux + "key_files/", aux + "mandatory/", root.string() + "/work/", root.string() + "/bin/",
        aux + "map_files/", aux + "description_files/", aux + "xml_parameters_definition/",
        aux + "description_files/", aux + "description_files/", aux + "xml_schema_files/",
        "MSBF", "ACTIVE", "unused", "-9999"};
    std::string text;
    for (const std::string& line : lines) text += line + lineEnd;
    return text;
}

using Environment = CoreTest;

TEST_F(Environment, TableGrowsAndKeepsEveryEntry) {
    createEnvironmentTable(CORBS_ENV_TABLE_CAPACITY);
    for (int i = 0; i < 51; ++i) ASSERT_EQ(fdfSetEnv("v" + std::to_string(i), "KEY_" + std::to_string(i)), 1);
    for (int i = 0; i < 51; ++i) EXPECT_EQ(env("KEY_" + std::to_string(i)), "v" + std::to_string(i));

    // Names compare by exact length; an absent value reads as missing.
    std::string value;
    EXPECT_EQ(fdfGetEnv(value, "KEY_1 "), -1);
    EXPECT_EQ(fdfGetEnv(value, "KEY_"), -1);
    fdfSetEnv(nullptr, "KEY_3");
    EXPECT_EQ(fdfGetEnv(value, "KEY_3"), -1);
    EXPECT_EQ(NorvikCore::get_enviroment_ptr()->count(), 51);

    destroyEnvironmentTable();
    EXPECT_FALSE(environmentExists());
    EXPECT_EQ(fdfSetEnv("x", "KEY_1"), 0);
    EXPECT_EQ(fdfGetEnv(value, "KEY_1"), -1);
}

TEST_F(Environment, DefaultLayoutWithoutConfigurationFile) {
    loadDefaultEnvironment();
    const std::string root = install().string() + "/";
    EXPECT_EQ(env("ORBISCAN_KEY_FILES_DIR"), root + "auxiliary/key_files/");
    EXPECT_EQ(env("ORBISCAN_MANDATORY_DIR"), root + "auxiliary/mandatory/");
    EXPECT_EQ(env("ORBISCAN_WORKING_DIR"), root + "work/");
    EXPECT_EQ(env("ORBISCAN_EXE_DIR"), root + "bin/");
    EXPECT_EQ(env("ORBISCAN_CEOS_DES_FILES_DIR"), root + "auxiliary/description_files/");
    EXPECT_EQ(env("ORBISCAN_XML_SCHEMA_DES_FILES_DIR"), root + "auxiliary/xml_schema_files/");
    EXPECT_EQ(env("ORBISCAN_DEFAULT_BYTE_ORDER") + "|" + env("ORBISCAN_TRACING") + "|" + env("ORBISCAN_DUMMY_VALUE"),
              "LSBF|ACTIVE|NaN");
    EXPECT_EQ(env("ORBISCAN_BATCH_DIR"), root + "work/");
    EXPECT_EQ(NorvikCore::get_work_file(), root + "work/Process.working");
    EXPECT_EQ(readFile(work() / "Process.working"), "0\nInit process\n");
}

TEST_F(Environment, InstallationDirectoryDefaultsToEtcNorvik) {
    unsetenv("ORBISCAN_INIT_DIR");
    if (fs::exists("/etc/norvik")) GTEST_SKIP() << "/etc/norvik exists on this machine";
    loadDefaultEnvironment();
    EXPECT_EQ(env("ORBISCAN_BATCH_DIR"), "/etc/norvik/work/");
    EXPECT_EQ(NorvikCore::get_work_file(), "/etc/norvik/work/Process.working");
}

TEST_F(Environment, ProcessVariablesOverrideWorkingBatchAndWorkFile) {
    const fs::path working = dir() / "w";
    fs::create_directories(working);
    // With or without a configuration file, given with its slash or not.
    for (const std::string& given : {working.string(), working.string() + "/"}) {
        resetCore();
        if (given.ends_with("/")) writeFile(install() / "Orbiscan_configuration.ini", configuration(install(), "\n"));
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

TEST_F(Environment, ConfigurationFileDecidesTheDirectoriesWhateverItsLineEnds) {
    // "/" + LF keeps the slash; "/" + CR LF loses all three characters;
    // another CR LF line keeps its CR; the last line may lack its LF.
    std::string text = configuration(install(), "\n");
    const std::string aux = install().string() + "/auxiliary/";
    text.replace(0, text.find('\n') + 1, aux + "key_files/\r\n");
    const std::string working = (dir() / "elsewhere").string() + "/";
    fs::create_directories(working);
    text.replace(text.find(install().string() + "/work/"), install().string().size() + 6, working);
    text.replace(text.rfind("MSBF\n"), 5, "MSBF\r\n");
    text.pop_back();
    setenv("NORVIK_CONFIGURATION_FILE_NAME", "my.ini", 1);
    writeFile(install() / "my.ini", text);
    loadDefaultEnvironment();
    EXPECT_EQ(env("ORBISCAN_KEY_FILES_DIR"), aux + "key_files");
    EXPECT_EQ(env("ORBISCAN_MANDATORY_DIR"), aux + "mandatory/");
    EXPECT_EQ(env("ORBISCAN_DEFAULT_BYTE_ORDER"), "MSBF\r");
    EXPECT_EQ(env("ORBISCAN_DUMMY_VALUE"), "-9999");
    EXPECT_EQ(NorvikCore::get_work_file(), working + "Process.working");
    std::string unused;
    EXPECT_EQ(fdfGetEnv(unused, "unused"), -1);
}

TEST_F(Environment, ShortOverlongBinaryOrEndlessConfigurationIsRefused) {
    const fs::path file = install() / "Orbiscan_configuration.ini";
    auto withFirstLine = [this](const std::string& line) {
        std::string text = configuration(install(), "\n");
        return text.replace(0, text.find('\n'), line);
    };
    const struct {
        std::string text;
        std::string raised;  // "" when the file is accepted
    } cases[] = {
        {"/a/\n/b/\n/c/\n", "120000@orbiscan_utility/tools_library/orbs_utility_global_vars:1307:"},
        {withFirstLine(std::string(1998, 'x')), ""},
        {withFirstLine(std::string(1999, 'x')), "configuration line too long"},
        {withFirstLine(std::string(10'000'000, 'x')), "configuration line too long"},
        {withFirstLine("/bin/\x01\x7f\x02ELF"), "configuration file is not a text file"},
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
    // A device would be read for ever.
    resetCore();
    fs::remove(file);
    fs::create_symlink("/dev/zero", file);
    EXPECT_TRUE(raisedBy([this] { loadDefaultEnvironment(); }).ends_with("configuration file is a device, not a regular file"));
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
