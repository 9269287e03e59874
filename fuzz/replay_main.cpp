// Runs a fuzz target over kept inputs without libFuzzer, so that builds
// with any compiler, on any architecture, replay them as a plain test.
// Arguments are files or directories of inputs; libFuzzer-style options
// (starting with '-') are ignored so that one command line serves both.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "test_files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::vector<std::filesystem::path> InputsUnder(const std::filesystem::path& path) {
  if (!std::filesystem::is_directory(path)) {
    return {path};
  }
  std::vector<std::filesystem::path> inputs;
  for (const auto& entry : std::filesystem::directory_iterator(path)) {
    if (entry.is_regular_file()) {
      inputs.push_back(entry.path());
    }
  }
  std::sort(inputs.begin(), inputs.end());
  return inputs;
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t replayed = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument.starts_with('-')) {
      continue;
    }
    if (!std::filesystem::exists(argument)) {
      std::fprintf(stderr, "no such input: %s\n", argument.c_str());
      return 1;
    }
    for (const auto& input : InputsUnder(argument)) {
      const auto bytes = test_support::ReadFileIfExists(input);
      if (!bytes) {
        std::fprintf(stderr, "cannot read %s\n", input.string().c_str());
        return 1;
      }
      LLVMFuzzerTestOneInput(bytes->data(), bytes->size());
      ++replayed;
    }
  }
  std::printf("replayed %zu inputs\n", replayed);
  return replayed > 0 ? 0 : 1;
}
