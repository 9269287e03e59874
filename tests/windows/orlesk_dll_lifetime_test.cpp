// orlesk.dll loaded and unloaded by a host at run time, and a process that
// ends while it records. Needs the paced capture device (see
// orlesk_recording_test.cpp); this program does not link the DLL, so that
// FreeLibrary can really unload it.
#include <gtest/gtest.h>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "orlesk.h"
#include "test_files.h"
#include "windows_dll.h"

namespace {

namespace fs = std::filesystem;
using namespace test_support;
using windows_test::Lookup;
using StartFunction = decltype(&StartRecordingWav);
using StopFunction = decltype(&StopRecordingWav);

struct LoadedRecorder {
  HMODULE module = ::LoadLibraryW(L"orlesk.dll");
  StartFunction start = Lookup<StartFunction>(module, "StartRecordingWav");
  StopFunction stop = Lookup<StopFunction>(module, "StopRecordingWav");
};

// How long wine may take to bring up its capture stream and the writer to
// put frames in the file: seconds on a busy machine, more under emulation.
constexpr auto kAudioDeadline = std::chrono::seconds(30);
// Half a second of 8 kHz 16-bit mono.
constexpr std::uintmax_t kHalfASecond = 2 * 4000;

std::uintmax_t FileSize(const fs::path& path) {
  std::error_code error;
  const std::uintmax_t size = fs::file_size(path, error);
  return error ? 0 : size;
}

// Waits until the recording's file holds more than `size` bytes: the
// recording runs on, whatever the machine's load.
bool GrowsBeyond(const fs::path& path, std::uintmax_t size) {
  const auto deadline = std::chrono::steady_clock::now() + kAudioDeadline;
  while (FileSize(path) <= size) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// A finished recording: its sizes match its length, and it holds audio.
void ExpectFinishedWithAudio(const fs::path& path) {
  const Bytes file = ReadWholeFile(path);
  ASSERT_GT(file.size(), 44u) << path;
  EXPECT_EQ(Le32At(file, 4), file.size() - 8);
  EXPECT_EQ(Le32At(file, 40), file.size() - 44);
}

TEST(LibraryLifetime, UnloadingWhileRecordingLeavesTheRecordingToStopLater) {
  {
    // Before any recording the DLL unloads as any other.
    const LoadedRecorder idle;
    ASSERT_NE(idle.module, nullptr);
    EXPECT_TRUE(::FreeLibrary(idle.module));
    EXPECT_EQ(::GetModuleHandleW(L"orlesk.dll"), nullptr);
  }
  const ScratchFolder folder;
  const LoadedRecorder first;
  ASSERT_NE(first.start, nullptr);
  const fs::path path = folder / "kept.wav";
  ASSERT_EQ(first.start(HostPath(path).c_str(), 8000, 16), ORLESK_SUCCESS);
  ASSERT_TRUE(GrowsBeyond(path, 44)) << "no audio reached the file";
  // Unloading would join the recorder's threads under the loader lock:
  // the DLL stays, and so does the recording: its file grows on.
  EXPECT_TRUE(::FreeLibrary(first.module));
  EXPECT_EQ(::GetModuleHandleW(L"orlesk.dll"), first.module);
  EXPECT_TRUE(GrowsBeyond(path, FileSize(path) + kHalfASecond)) << "the recording stopped";

  const LoadedRecorder again;
  EXPECT_EQ(again.module, first.module);
  EXPECT_EQ(again.stop(), ORLESK_SUCCESS);
  ExpectFinishedWithAudio(path);
  EXPECT_GE(ReadWholeFile(path).size(), 44u + kHalfASecond);
}

TEST(LibraryLifetime, AProcessThatEndsWhileRecordingLeavesAFinishedFile) {
  // A death test's child runs this body afresh in a new process: the path
  // must be the same in both, so it is in the working folder. The child's
  // start empties a file left by an earlier run.
  const fs::path path = fs::absolute("orlesk-process-end.wav");
  // The child exits without stopping once the writer has put half a second
  // of audio in the file.
  EXPECT_EXIT(
      {
        const LoadedRecorder recorder;
        if (recorder.start == nullptr ||
            recorder.start(HostPath(path).c_str(), 8000, 16) != ORLESK_SUCCESS) {
          std::exit(2);
        }
        std::exit(GrowsBeyond(path, 44 + kHalfASecond) ? 0 : 3);
      },
      ::testing::ExitedWithCode(0), "");
  ExpectFinishedWithAudio(path);
  EXPECT_GE(ReadWholeFile(path).size(), 44u + kHalfASecond);
  fs::remove(path);
}

}  // namespace
