// Unloading the library while it records stops the recording: the file is
// finalised and the capture thread is gone before the code it runs.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

#include "recorder_test_support.h"
#include "virtual_microphone.h"

namespace {

using namespace recorder_test;
using namespace test_support;
namespace fs = std::filesystem;

VirtualMicrophone* microphone = nullptr;

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
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  std::error_code error;
  // file_size gives -1 with an error while the file does not exist yet.
  while ((fs::file_size(path, error) < 44 + 3200 || error) &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }

  ASSERT_EQ(::dlclose(library), 0);
  feeder.Stop();
  EXPECT_EQ(::dlopen(ORLESK_LIBRARY_PATH, RTLD_NOW | RTLD_NOLOAD), nullptr)
      << "the library stayed loaded";

  const std::vector<std::uint8_t> file = ReadWholeFile(path);
  ASSERT_GE(file.size(), 44u + 3200u);
  const std::size_t audioBytes = file.size() - 44;
  EXPECT_EQ(Le32At(file, 40), audioBytes);
  EXPECT_EQ(Le32At(file, 4), audioBytes + 36);
  EXPECT_EQ(audioBytes % 1600, 0u);
  EXPECT_TRUE(std::equal(file.begin() + 44, file.end(), input.begin()));
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  recorder_test::VirtualMicrophone virtualMicrophone;
  microphone = &virtualMicrophone;
  return RUN_ALL_TESTS();
}
