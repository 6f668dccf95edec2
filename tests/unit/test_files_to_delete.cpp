#include "orbs_files_to_delete.h"

#include <gtest/gtest.h>
#include <tiffio.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "orbs_core_raster_file.h"
#include "orbs_errors.h"
#include "orbs_utility_global_vars.h"

namespace fs = std::filesystem;

namespace {

void touch(const std::string& path) { std::ofstream(path, std::ios::binary) << "x"; }

std::string readText(const fs::path& path) {
    std::ifstream input(path, std::ios::binary);
    std::ostringstream text;
    text << input.rdbuf();
    return text.str();
}

class FilesToDelete : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("ORBISCAN_PAUSE_SCALE", "0", 1);
        mDir = fs::temp_directory_path() / ("orbs_fd_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(mDir);
        fs::create_directories(mDir);
        mRegister->commit(false);  // start from an empty process register
        NorvikCore::set_work_file(at("Process.working"));
    }
    void TearDown() override {
        mRegister->commit(false);
        fs::remove_all(mDir);
    }
    std::string at(const std::string& name) const { return (mDir / name).string(); }

    fs::path mDir;
    CFileToDelete* mRegister = NorvikCore::get_files_to_delete_ptr();
};

}  // namespace

TEST_F(FilesToDelete, RegisterGrowsCommitsResetsAndReinits) {
    CFileToDelete files(1000);
    for (int i = 0; i <= 1000; ++i) files.insertFileToDelete(at("f" + std::to_string(i)), i == 1000);
    EXPECT_EQ(files.capacity(), 2000);
    EXPECT_EQ(files.path(999) + files.path(1000), at("f999") + at("f1000"));
    EXPECT_TRUE(files.companions(1000) && !files.companions(999));
    files.reset(false);
    EXPECT_EQ(files.count() + files.capacity(), 0);

    for (const char* name : {"a", "b", "b.hdr", "kept", "c"}) touch(at(name));
    files.insertFileToDelete(at("a"), false);  // an emptied register still accepts files
    files.insertFileToDelete(at("b"), true);
    files.commit(true);
    EXPECT_FALSE(fs::exists(at("a")) || fs::exists(at("b")) || fs::exists(at("b.hdr")));
    EXPECT_EQ(files.count(), 0);
    EXPECT_EQ(files.capacity(), 2);

    files.insertFileToDelete(at("kept"), false);
    files.reset(false);
    EXPECT_TRUE(fs::exists(at("kept")));
    files.insertFileToDelete(at("c"), false);
    files.reinit(8);
    EXPECT_FALSE(fs::exists(at("c")));
    EXPECT_EQ(files.capacity(), 8);
}

TEST_F(FilesToDelete, DeleteFileRemovesCompanionsAndDefersExtractedParameters) {
    const std::string image = at("img");
    const std::string extracted = image + ".OrbiscanParameterExtracted.sml";
    const auto companions = {"", ".hdr", ".sml", "_ql.tif", "_ql.tif.hdr", ".shp", ".shp.sml", ".dbf", "_hdr_tmp.sml"};
    for (const char* suffix : companions) touch(image + suffix);
    touch(extracted);
    touch(image + ".tif");
    EXPECT_TRUE(deleteFile(image, true, true));
    for (const char* suffix : companions) EXPECT_FALSE(fs::exists(image + suffix)) << suffix;
    EXPECT_TRUE(fs::exists(image + ".tif"));
    EXPECT_TRUE(fs::exists(extracted));
    ASSERT_EQ(mRegister->count(), 1);
    EXPECT_TRUE(mRegister->path(0) == extracted && !mRegister->companions(0));

    EXPECT_FALSE(deleteFile(at("missing"), true, true));
    EXPECT_TRUE(deleteFile(at("missing"), true, false));
    for (const char* name : {"solo", "solo.hdr"}) touch(at(name));
    deleteFile(at("solo"), false, true);
    EXPECT_TRUE(fs::exists(at("solo.hdr")));

    // Products of a raw, SLC or ground-range image also clear the base name.
    for (const char* name : {"scene_slc_RAW", "scene.OrbiscanParameterExtracted.sml", "scene.hdr", "scene.sml"}) {
        touch(at(name));
    }
    deleteFile(at("scene_slc_RAW"), true, true);
    EXPECT_FALSE(fs::exists(at("scene.OrbiscanParameterExtracted.sml")) || fs::exists(at("scene.hdr")));
    EXPECT_TRUE(fs::exists(at("scene.sml")));
}

TEST_F(FilesToDelete, ProcessRegisterDeletesWhatItsOwnPassRegisters) {
    for (const char* name : {"p", "p.OrbiscanParameterExtracted.sml"}) touch(at(name));
    ASSERT_EQ(NorvikCore::insertFileToDelete(at("p").c_str(), true), 1);
    NorvikCore::commitFilesToDelete(true);
    EXPECT_FALSE(fs::exists(at("p")) || fs::exists(at("p.OrbiscanParameterExtracted.sml")));
    EXPECT_EQ(mRegister->count(), 0);
}

TEST_F(FilesToDelete, GeneratedFileLists) {
    const std::string list = NorvikCore::get_work_file() + "_generated_files.list";
    EXPECT_EQ(forbs_addFileToList(at("missing.tif"), "", "_generated_files.list"), 0);
    EXPECT_FALSE(fs::exists(list));
    for (const char* name : {"one.tif", "two.tif"}) touch(at(name));
    EXPECT_EQ(forbs_addFileToList(at("one.tif"), "", "_generated_files.list"), 1);
    EXPECT_EQ(forbs_addFileToListEstimateMean(at("two.tif"), "", "_generated_files.list"), 1);
    EXPECT_EQ(readText(list), at("one.tif") + "\n" + at("two.tif") + "\n");
    EXPECT_EQ(forbs_addFileToList(at("one.tif"), at("own.list"), "_ignored"), 1);
    EXPECT_EQ(readText(at("own.list")), at("one.tif") + "\n");
    EXPECT_EQ(forbs_addFileToList(at("one.tif"), at("no_dir/x.list"), ""), 0);

    const std::string slcList = NorvikCore::get_work_file() + "_generated_slc_list_files.list";
    for (const char* sibling : {"", "HH", "LV", "XX"}) touch(slcList + sibling);
    EXPECT_EQ(resetFileList("_generated_slc_list_files.list"), 1);
    EXPECT_FALSE(fs::exists(slcList) || fs::exists(slcList + "HH") || fs::exists(slcList + "LV"));
    EXPECT_TRUE(fs::exists(slcList + "XX"));
    fs::create_directories(slcList + "VH/blocker");  // a sibling that cannot be deleted
    EXPECT_EQ(resetFileList("_generated_slc_list_files.list"), 0);
}

TEST_F(FilesToDelete, InitCoreLibraryClearsListsAndTracesTiffMessages) {
    const bool ownTable = !environmentExists();
    if (ownTable) createEnvironmentTable(CORBS_ENV_TABLE_CAPACITY);
    const int previousLevel = NorvikCore::get_trace_level();
    fdfSetEnv(mDir.string() + "/", "ORBISCAN_WORKING_DIR");
    ASSERT_EQ(NORBS_ERROR_MANAGER::fdfOpenOrbiscanTrace(false), 1);

    CCoreRasterFile::testNumberOfOpenFiles = 3;
    gOpenRasterBuffers.mCount = 2;
    touch(NorvikCore::get_work_file() + "_generated_files.list");
    touch(NorvikCore::get_work_file() + "_generated_slc_list_files.listVV");
    EXPECT_EQ(initCoreLibrary(), 1);
    EXPECT_EQ(CCoreRasterFile::testNumberOfOpenFiles + gOpenRasterBuffers.mCount, 0u);
    EXPECT_FALSE(fs::exists(NorvikCore::get_work_file() + "_generated_files.list"));
    EXPECT_FALSE(fs::exists(NorvikCore::get_work_file() + "_generated_slc_list_files.listVV"));

    TIFFError("reader", "bad tag %d", 7);
    TIFFWarning(nullptr, "odd %s", "strip");
    NorvikCore::get_process_trace_stream().close();
    NorvikCore::set_trace_level(previousLevel);
    const std::string trace = readText(mDir / "Process.trace");
    EXPECT_NE(trace.find("reader  :  bad tag 7\n"), std::string::npos) << trace;
    EXPECT_NE(trace.find("\nodd strip\n"), std::string::npos) << trace;

    fdfSetEnv(nullptr, "ORBISCAN_WORKING_DIR");
    if (ownTable) destroyEnvironmentTable();
}

TEST_F(FilesToDelete, LoadedGeneralParametersCanKeepTemporaryFiles) {
    touch(at("kept.tmp"));
    auto parameters = std::make_unique<CGeneralParameters>();
    parameters->m_loaded = true;
    parameters->m_delete_temporary_files = false;
    NorvikCore::set_generals_par_ptr(std::move(parameters));
    {
        CFileToDelete files(4);
        files.insertFileToDelete(at("kept.tmp"), false);
        files.reset(true);
        EXPECT_EQ(files.capacity(), 0);
    }
    NorvikCore::set_generals_par_ptr(nullptr);
    EXPECT_TRUE(fs::exists(at("kept.tmp")));

    // commit() does not consult the option.
    CFileToDelete files(4);
    files.insertFileToDelete(at("kept.tmp"), false);
    files.commit(true);
    EXPECT_FALSE(fs::exists(at("kept.tmp")));
}
