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
  ASSERT_EQ(first.start(HostPath(folder / "kept.wav").c_str(), 8000, 16), ORLESK_SUCCESS);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  // Unloading would join the recorder's threads under the loader lock:
  // the DLL stays, and so does the recording.
  EXPECT_TRUE(::FreeLibrary(first.module));
  EXPECT_EQ(::GetModuleHandleW(L"orlesk.dll"), first.module);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));

  const LoadedRecorder again;
  EXPECT_EQ(again.module, first.module);
  EXPECT_EQ(again.stop(), ORLESK_SUCCESS);
  ExpectFinishedWithAudio(folder / "kept.wav");
  EXPECT_GE(ReadWholeFile(folder / "kept.wav").size(), 44u + 2 * 4000);
}

TEST(LibraryLifetime, AProcessThatEndsWhileRecordingLeavesAFinishedFile) {
  // A death test's child runs this body afresh in a new process: the path
  // must be the same in both, so it is in the working folder. The child's
  // start empties a file left by an earlier run.
  const fs::path path = fs::absolute("orlesk-process-end.wav");
  // The child records for 1.5 s and exits without stopping; the writer has
  // put at least a second of it in the file by then.
  EXPECT_EXIT(
      {
        const LoadedRecorder recorder;
        if (recorder.start == nullptr ||
            recorder.start(HostPath(path).c_str(), 8000, 16) != ORLESK_SUCCESS) {
          std::exit(2);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
  ExpectFinishedWithAudio(path);
  EXPECT_GE(ReadWholeFile(path).size(), 44u + 2 * 4000);
  fs::remove(path);
}

}  // namespace
