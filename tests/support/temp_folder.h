// Temporary folders of tests: one removed with the object, and a test with
// a folder of its own.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

class TempDir {
public:
    TempDir() {
        std::random_device seed;
        mPath = std::filesystem::temp_directory_path() / ("orbs_test_" + std::to_string(seed()) + std::to_string(seed()));
        std::filesystem::create_directories(mPath);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(mPath, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return mPath; }
    std::string str() const { return mPath.string(); }
    std::string at(const std::string& name) const { return (mPath / name).string(); }

private:
    std::filesystem::path mPath;
};

class TempFolderTest : public ::testing::Test {
protected:
    TempDir mDir;
    const std::filesystem::path mRoot = mDir.path();
};
