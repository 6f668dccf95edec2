#include "orbs_files_to_delete.h"

#include "core_test_support.h"
#include "orbs_core_raster_file.h"
#include "orbs_general_parameters.h"

namespace orbs_test {
namespace {

class FilesToDelete : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("ORBISCAN_PAUSE_SCALE", "0", 1);
        mRegister->commit(false);  // start from an empty process register
        NorvikCore::set_work_file(at("Process.working"));
    }
    void TearDown() override { mRegister->commit(false); }
    std::string at(const std::string& name) const { return mDir.at(name); }
    void touch(std::initializer_list<std::string> names) const {
        for (const std::string& name : names) writeFile(at(name), "x");
    }

    TempDir mDir;
    CFileToDelete* mRegister = NorvikCore::get_files_to_delete_ptr();
};

TEST_F(FilesToDelete, RegisterGrowsCommitsAndResets) {
    CFileToDelete files(1);
    touch({"a", "b", "b.hdr", "kept"});
    files.insertFileToDelete(at("a"), false);  // past the first capacity
    files.insertFileToDelete(at("b"), true);
    files.commit(true);
    EXPECT_FALSE(fs::exists(at("a")) || fs::exists(at("b")) || fs::exists(at("b.hdr")));
    EXPECT_EQ(files.count(), 0);

    files.insertFileToDelete(at("kept"), false);
    files.reset(false);
    EXPECT_TRUE(fs::exists(at("kept")));

    // The process register deletes what its own pass registers.
    touch({"p", "p.OrbiscanParameterExtracted.sml"});
    ASSERT_EQ(NorvikCore::insertFileToDelete(at("p").c_str(), true), 1);
    NorvikCore::commitFilesToDelete(true);
    EXPECT_FALSE(fs::exists(at("p")) || fs::exists(at("p.OrbiscanParameterExtracted.sml")));
    EXPECT_EQ(mRegister->count(), 0);
}

TEST_F(FilesToDelete, InitCoreLibraryClearsTheLists) {
    const bool ownTable = !environmentExists();
    if (ownTable) createEnvironmentTable(CORBS_ENV_TABLE_CAPACITY);
    const int previousLevel = NorvikCore::get_trace_level();
    fdfSetEnv(mDir.str() + "/", "ORBISCAN_WORKING_DIR");
    ASSERT_EQ(NORBS_ERROR_MANAGER::fdfOpenOrbiscanTrace(false), 1);

    CCoreRasterFile::testNumberOfOpenFiles = 3;
    gOpenRasterBuffers.mCount = 2;
    touch({"Process.working_generated_files.list", "Process.working_generated_slc_list_files.listVV"});
    EXPECT_EQ(initCoreLibrary(), 1);
    EXPECT_EQ(CCoreRasterFile::testNumberOfOpenFiles + gOpenRasterBuffers.mCount, 0u);
    EXPECT_FALSE(fs::exists(at("Process.working_generated_files.list")));
    EXPECT_FALSE(fs::exists(at("Process.working_generated_slc_list_files.listVV")));
    NorvikCore::get_process_trace_stream().close();
    NorvikCore::set_trace_level(previousLevel);

    fdfSetEnv(nullptr, "ORBISCAN_WORKING_DIR");
    if (ownTable) destroyEnvironmentTable();
}

// Loaded general parameters can keep the temporary files on a reset;
// commit() does not consult them.
TEST_F(FilesToDelete, LoadedGeneralParametersCanKeepTemporaryFiles) {
    touch({"kept.tmp"});
    auto parameters = std::make_unique<CGeneralParameters>();
    parameters->m_loaded = true;
    parameters->m_delete_temporary_files = false;
    NorvikCore::set_generals_par_ptr(std::move(parameters));
    CFileToDelete files(4);
    files.insertFileToDelete(at("kept.tmp"), false);
    files.reset(true);
    EXPECT_TRUE(fs::exists(at("kept.tmp")));
    files.insertFileToDelete(at("kept.tmp"), false);
    files.commit(true);
    NorvikCore::set_generals_par_ptr(nullptr);
    EXPECT_FALSE(fs::exists(at("kept.tmp")));
}

}  // namespace
}  // namespace orbs_test
