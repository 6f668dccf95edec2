// A test with a folder of its own below the system's temporary folder,
// removed with everything in it at the end.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

class TempFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        mRoot = std::filesystem::temp_directory_path() / ("orbs_test_" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(mRoot);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(mRoot, ignored);
    }
    std::filesystem::path mRoot;
};
