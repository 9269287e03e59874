// A host that leaves a recording running: unloading the library, or exiting
// the process, stops it as StopRecordingWav would, so the file is finalised.
// The library is loaded with dlopen so that it can be unloaded too.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "recorder_test_support.h"
#include "virtual_microphone.h"

namespace {

using namespace recorder_test;
using namespace test_support;
namespace fs = std::filesystem;

using StartFunction = std::int32_t (*)(const char16_t*, std::int32_t, std::int32_t);

// Loads the library and starts recording `path` at 8 kHz, 16 bits; null
// when either fails.
void* LoadAndStartRecording(const fs::path& path) {
  void* library = ::dlopen(ORLESK_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    return nullptr;
  }
  const auto start = reinterpret_cast<StartFunction>(::dlsym(library, "StartRecordingWav"));
  if (start == nullptr || start(Utf16Path(path).c_str(), 8000, 16) != 999) {
    ::dlclose(library);
    return nullptr;
  }
  return library;
}

TEST(LibraryLifetime, UnloadingWithARecordingRunningFinalisesTheFile) {
  ScratchFolder dir;
  const fs::path path = dir / "unloaded.wav";
  const std::vector<std::uint8_t> input = NoiseBytes(4 << 20, 5);
  PipeFeeder feeder(microphone->pipe(), input, 1600);

  void* library = LoadAndStartRecording(path);
  ASSERT_NE(library, nullptr) << ::dlerror();
  feeder.Start();
  ASSERT_TRUE(WaitForAudio(path, 3200));

  // The capture thread must be gone before the code it runs.
  ASSERT_EQ(::dlclose(library), 0);
  feeder.Stop();
  EXPECT_EQ(::dlopen(ORLESK_LIBRARY_PATH, RTLD_NOW | RTLD_NOLOAD), nullptr)
      << "the library stayed loaded";

  EXPECT_GE(ExpectFinishedPrefix(path, input, 2), 3200u);
}

TEST(LibraryLifetime, ExitWithARecordingRunningFinalisesTheFile) {
  ScratchFolder dir;
  const std::vector<std::uint8_t> input = NoiseBytes(4 << 20, 99);
  const fs::path path = dir / "exit.wav";
  PipeFeeder feeder(microphone->pipe(), input, 1600);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (LoadAndStartRecording(path) == nullptr || !WaitForAudio(path, 3200)) {
      std::_Exit(2);
    }
    std::exit(0);
  }
  feeder.Start();
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  feeder.Stop();
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);
  EXPECT_GE(ExpectFinishedPrefix(path, input, 2), 3200u);
}

}  // namespace
