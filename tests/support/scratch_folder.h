// A fresh, empty folder for one test, named after it and the process (two test runs on one
// machine, from two checkouts say, never share one), removed when the test ends.
#pragma once

#include <filesystem>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>

namespace test_support {

class ScratchFolder {
  public:
    explicit ScratchFolder(const std::string& purpose)
        : path(std::filesystem::path(::testing::TempDir()) /
               ("kelvara-" + purpose + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name() + "-" +
                std::to_string(::getpid()))) {
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path path;
};

} // namespace test_support
