// Scratch file names that concurrent test runs (parallel ctest, several build trees) never share.
#pragma once

#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

inline std::string scratch_path(const std::string &name) {
    return ::testing::TempDir() + "tx_" + std::to_string(::getpid()) + "_" + name;
}
