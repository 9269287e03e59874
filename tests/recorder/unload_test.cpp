// Unloading the library while it records stops the recording: the file is
// finalised and the capture thread is gone before the code it runs.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "recorder_test_support.h"
#include "virtual_microphone.h"

namespace {

using namespace recorder_test;
using namespace test_support;
namespace fs = std::filesystem;

using StartFunction = std::int32_t (*)(const char16_t*, std::int32_t, std::int32_t);

TEST(RecorderUnload, UnloadingWithARecordingRunningFinalisesTheFile) {
  ScratchFolder dir;
  const fs::path path = dir / "unloaded.wav";
  const std::vector<std::uint8_t> input = NoiseBytes(4 << 20, 5);
  PipeFeeder feeder(microphone->pipe(), input, 1600);

  void* library = ::dlopen(ORLESK_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << ::dlerror();
  const auto start = reinterpret_cast<StartFunction>(::dlsym(library, "StartRecordingWav"));
  ASSERT_NE(start, nullptr);
  ASSERT_EQ(start(Utf16Path(path).c_str(), 8000, 16), 999);
  feeder.Start();
  ASSERT_TRUE(WaitForAudio(path, 3200));

  ASSERT_EQ(::dlclose(library), 0);
  feeder.Stop();
  EXPECT_EQ(::dlopen(ORLESK_LIBRARY_PATH, RTLD_NOW | RTLD_NOLOAD), nullptr)
      << "the library stayed loaded";

  EXPECT_GE(ExpectFinishedPrefix(path, input, 1600), 3200u);
}

}  // namespace
