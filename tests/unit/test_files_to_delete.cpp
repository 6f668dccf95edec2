#include "orbs_files_to_delete.h"

#include <tiffio.h>

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

TEST_F(FilesToDelete, RegisterGrowsCommitsResetsAndReinits) {
    CFileToDelete files(1000);
    for (int i = 0; i <= 1000; ++i) files.insertFileToDelete(at("f" + std::to_string(i)), i == 1000);
    EXPECT_EQ(files.path(999) + files.path(1000), at("f999") + at("f1000"));
    EXPECT_TRUE(files.companions(1000) && !files.companions(999));
    files.reset(false);
    EXPECT_EQ(files.count() + files.capacity(), 0);

    touch({"a", "b", "b.hdr", "kept", "c"});
    files.insertFileToDelete(at("a"), false);  // an emptied register still accepts files
    files.insertFileToDelete(at("b"), true);
    files.commit(true);
    EXPECT_FALSE(fs::exists(at("a")) || fs::exists(at("b")) || fs::exists(at("b.hdr")));
    EXPECT_EQ(files.count(), 0);

    files.insertFileToDelete(at("kept"), false);
    files.reset(false);
    EXPECT_TRUE(fs::exists(at("kept")));
    files.insertFileToDelete(at("c"), false);
    files.reinit(8);
    EXPECT_FALSE(fs::exists(at("c")));

    // The process register deletes what its own pass registers.
    touch({"p", "p.OrbiscanParameterExtracted.sml"});
    ASSERT_EQ(NorvikCore::insertFileToDelete(at("p").c_str(), true), 1);
    NorvikCore::commitFilesToDelete(true);
    EXPECT_FALSE(fs::exists(at("p")) || fs::exists(at("p.OrbiscanParameterExtracted.sml")));
    EXPECT_EQ(mRegister->count(), 0);
}

TEST_F(FilesToDelete, DeleteFileRemovesCompanionsAndDefersExtractedParameters) {
    const std::string image = at("img");
    const std::string extracted = image + ".OrbiscanParameterExtracted.sml";
    const auto companions = {"", ".hdr", ".sml", "_ql.tif", "_ql.tif.hdr", ".shp", ".shp.sml", ".dbf", "_hdr_tmp.sml"};
    for (const char* suffix : companions) touch({"img" + std::string(suffix)});
    touch({"img.OrbiscanParameterExtracted.sml", "img.tif"});
    EXPECT_TRUE(deleteFile(image, true, true));
    for (const char* suffix : companions) EXPECT_FALSE(fs::exists(image + suffix)) << suffix;
    EXPECT_TRUE(fs::exists(image + ".tif"));
    EXPECT_TRUE(fs::exists(extracted));
    ASSERT_EQ(mRegister->count(), 1);
    EXPECT_TRUE(mRegister->path(0) == extracted && !mRegister->companions(0));

    EXPECT_FALSE(deleteFile(at("missing"), true, true));
    EXPECT_TRUE(deleteFile(at("missing"), true, false));
    touch({"solo", "solo.hdr"});
    deleteFile(at("solo"), false, true);
    EXPECT_TRUE(fs::exists(at("solo.hdr")));

    // Products of a raw, SLC or ground-range image also clear the base name.
    touch({"scene_slc_RAW", "scene.OrbiscanParameterExtracted.sml", "scene.hdr", "scene.sml"});
    deleteFile(at("scene_slc_RAW"), true, true);
    EXPECT_FALSE(fs::exists(at("scene.OrbiscanParameterExtracted.sml")) || fs::exists(at("scene.hdr")));
    EXPECT_TRUE(fs::exists(at("scene.sml")));
}

TEST_F(FilesToDelete, GeneratedFileLists) {
    const std::string list = NorvikCore::get_work_file() + "_generated_files.list";
    EXPECT_EQ(forbs_addFileToList(at("missing.tif"), "", "_generated_files.list"), 0);
    EXPECT_FALSE(fs::exists(list));
    touch({"one.tif", "two.tif"});
    EXPECT_EQ(forbs_addFileToList(at("one.tif"), "", "_generated_files.list"), 1);
    EXPECT_EQ(forbs_addFileToListEstimateMean(at("two.tif"), "", "_generated_files.list"), 1);
    EXPECT_EQ(readFile(list), at("one.tif") + "\n" + at("two.tif") + "\n");
    EXPECT_EQ(forbs_addFileToList(at("one.tif"), at("own.list"), "_ignored"), 1);
    EXPECT_EQ(readFile(at("own.list")), at("one.tif") + "\n");
    EXPECT_EQ(forbs_addFileToList(at("one.tif"), at("no_dir/x.list"), ""), 0);

    const std::string slcList = "Process.working_generated_slc_list_files.list";
    touch({slcList, slcList + "HH", slcList + "LV", slcList + "XX"});
    EXPECT_EQ(resetFileList("_generated_slc_list_files.list"), 1);
    EXPECT_FALSE(fs::exists(at(slcList)) || fs::exists(at(slcList + "HH")) || fs::exists(at(slcList + "LV")));
    EXPECT_TRUE(fs::exists(at(slcList + "XX")));
    fs::create_directories(at(slcList + "VH/blocker"));  // a sibling that cannot be deleted
    EXPECT_EQ(resetFileList("_generated_slc_list_files.list"), 0);
}

TEST_F(FilesToDelete, InitCoreLibraryClearsListsAndTracesTiffMessages) {
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

    TIFFError("reader", "bad tag %d", 7);
    TIFFWarning(nullptr, "odd %s", "strip");
    NorvikCore::get_process_trace_stream().close();
    NorvikCore::set_trace_level(previousLevel);
    const std::string trace = readFile(at("Process.trace"));
    EXPECT_NE(trace.find("reader  :  bad tag 7\n"), std::string::npos) << trace;
    EXPECT_NE(trace.find("\nodd strip\n"), std::string::npos) << trace;

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
