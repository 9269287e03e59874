// Helpers of the recorder's tests, next to the project's test_support ones.
#pragma once

#include <filesystem>
#include <string>

#include "test_files.h"

namespace recorder_test {

// The file's bytes after the 44-byte header.
test_support::Bytes AudioOf(const test_support::Bytes& file);

// Runs a shell command and returns its standard output.
std::string RunCommand(const std::string& command);
bool HaveCommand(const std::string& name);
std::string Quoted(const std::filesystem::path& path);

}  // namespace recorder_test
