// orlesk.dll recording through the wave-input API as wine provides it:
// wine's driver reads ALSA's "default" PCM, which each CTest entry sets
// through ALSA_CONFIG_PATH before wine starts (tests/windows/CMakeLists.txt):
//  - NoCaptureDevice: an empty configuration, so Windows sees no input
//    device at all;
//  - PacedCaptureDevice: the project's paced ALSA plugin at real time,
//    frame n holding n (16 bits: n mod 65536);
//  - FailingCaptureDevice: the same plugin failing for good after 0.5 s.
// The paced device leaves its counters in the file that
// ORLESK_TEST_PACED_REPORT names each time wine closes it.
#include <gtest/gtest.h>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "orlesk.h"
#include "paced_device.h"
#include "test_files.h"

namespace {

namespace fs = std::filesystem;
using namespace test_support;
using Clock = std::chrono::steady_clock;

fs::path DeviceReportPath() {
  const char* path = std::getenv("ORLESK_TEST_PACED_REPORT");
  return path != nullptr ? fs::path(path) : fs::path();
}

// Each recording starts with no report, so the one read after it stops is
// the one wine's close of that recording's stream left.
std::int32_t Start(const fs::path& path, std::int32_t rate = 8000, std::int32_t bits = 16) {
  std::error_code ignored;
  fs::remove(DeviceReportPath(), ignored);
  return StartRecordingWav(path.c_str(), rate, bits);
}

std::int32_t Start(const std::wstring& path, std::int32_t rate = 8000, std::int32_t bits = 16) {
  return Start(fs::path(path), rate, bits);
}

std::optional<paced_device::PacedDeviceReport> DeviceReport() {
  const std::optional<paced_device::PacedDeviceReport> report =
      paced_device::ReadPacedDeviceReport(DeviceReportPath());
  EXPECT_TRUE(report.has_value()) << "the device left no report when the recording stopped";
  return report;
}

// Checks a finished 16-bit mono recording of the paced device's counters:
// sizes that match the file, and consecutive frames (wine may start a few
// frames into the device's stream). wine's own capture ring holds only
// 40 ms, so on a starved machine its driver overruns the device and the
// frames lost there never reach the wave-input API; the run may break only
// where the device counted such an overrun. Returns the number of frames.
std::size_t ExpectTheDevicesFramesInOrder(const fs::path& path) {
  const Bytes file = ReadWholeFile(path);
  EXPECT_GE(file.size(), 44u) << path;
  if (file.size() < 44) {
    return 0;
  }
  const std::size_t audio = file.size() - 44;
  EXPECT_EQ(Le32At(file, 4), audio + 36);
  EXPECT_EQ(Le32At(file, 40), audio);
  EXPECT_EQ(Le32At(file, 24), 8000u);
  EXPECT_EQ(Le16At(file, 34), 16);
  EXPECT_EQ(audio % 2, 0u);
  const std::size_t frames = audio / 2;
  std::size_t breaks = 0;
  for (std::size_t i = 1; i < frames; ++i) {
    const auto previous = static_cast<std::uint16_t>(Le16At(file, 44 + 2 * (i - 1)));
    const auto current = static_cast<std::uint16_t>(Le16At(file, 44 + 2 * i));
    breaks += static_cast<std::uint16_t>(previous + 1) != current ? 1 : 0;
  }
  const std::optional<paced_device::PacedDeviceReport> report = DeviceReport();
  const std::uint64_t overruns = report ? report->overruns : 0;
  EXPECT_LE(breaks, overruns) << "the recording breaks the device's run of frames where the "
                                 "device lost none";
  return frames;
}

TEST(NoCaptureDevice, StartGivesMinusTwoAndCreatesNothing) {
  const ScratchFolder folder;
  EXPECT_EQ(Start(folder / "none.wav"), ORLESK_ERROR_DEVICE);
  EXPECT_FALSE(fs::exists(folder / "none.wav"));
  EXPECT_EQ(StopRecordingWav(), ORLESK_ERROR_NOT_RECORDING);
}

TEST(PacedCaptureDevice, RecordsEveryFrameInOrderUnderANameTheAnsiCodePageCannotHold) {
  const ScratchFolder folder;
  const fs::path japanese = folder / L"\u65E5\u672C\u8A9E";
  fs::create_directory(japanese);
  const fs::path path = japanese / L"caf\u00E9 \u0416 \U0001D11E.wav";
  ASSERT_EQ(Start(path), ORLESK_SUCCESS);
  EXPECT_EQ(Start(folder / "second.wav"), ORLESK_ERROR_ALREADY_RECORDING);
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  // The recording is the file's one writer; readers read on.
  constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  const HANDLE writer = ::CreateFileW(path.c_str(), GENERIC_WRITE, kShareAll, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  if (writer != INVALID_HANDLE_VALUE) {
    ::CloseHandle(writer);
  }
  EXPECT_GE(ReadWholeFile(path).size(), 44u);
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  ASSERT_EQ(StopRecordingWav(), ORLESK_SUCCESS);
  EXPECT_EQ(StopRecordingWav(), ORLESK_ERROR_NOT_RECORDING);
  EXPECT_FALSE(fs::exists(folder / "second.wav"));

  // 1.5 s at 8 kHz, less what wine takes to start its stream and what its
  // driver lost to overruns, give or take a buffer of 100 ms.
  const std::size_t frames = ExpectTheDevicesFramesInOrder(path);
  const std::optional<paced_device::PacedDeviceReport> report = DeviceReport();
  EXPECT_GE(frames + (report ? report->framesLost : 0), 10000u);
  EXPECT_LE(frames, 13600u);
}

TEST(PacedCaptureDevice, StopKeepsTheFramesOfTheBufferBeingFilled) {
  // Stopped about 80 ms in, before the first 100 ms buffer is full: wine's
  // reset hands that buffer back partly filled, and the file must keep
  // those frames. A buffer the device filled holds exactly 800 frames, so
  // a file of whole buffers means the partial one was dropped. On a starved
  // machine, or under emulation, the stream may not have begun by the stop,
  // or the sleep may outlast a whole buffer and the stop fall right on a
  // buffer's end: a few tries give it the chance, while a recorder that
  // drops the partial buffer leaves whole buffers every time.
  constexpr std::size_t kFramesPerBuffer = 800;
  const ScratchFolder folder;
  std::size_t frames = 0;
  for (int attempt = 0; attempt < 5 && frames % kFramesPerBuffer == 0; ++attempt) {
    const fs::path path = folder / ("short" + std::to_string(attempt) + ".wav");
    ASSERT_EQ(Start(path), ORLESK_SUCCESS);
    std::this_thread::sleep_for(std::chrono::milliseconds(80));
    ASSERT_EQ(StopRecordingWav(), ORLESK_SUCCESS);
    frames = ExpectTheDevicesFramesInOrder(path);
  }
  EXPECT_NE(frames % kFramesPerBuffer, 0u) << frames << " frames";
}

TEST(PacedCaptureDevice, PathsThatAreNotRegularFilesGiveMinusThreeAndTouchNothing) {
  const ScratchFolder folder;
  // A named pipe with a server waiting: the recorder must not connect,
  // whichever way the path spells it.
  const std::wstring pipeName = L"\\\\.\\pipe\\orlesk-recording-test";
  const HANDLE pipe = ::CreateNamedPipeW(pipeName.c_str(), PIPE_ACCESS_INBOUND,
                                         PIPE_TYPE_BYTE | PIPE_NOWAIT, 1, 0, 4096, 0, nullptr);
  ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
  for (const wchar_t* spelling :
       {pipeName.c_str(), L"//./PIPE/orlesk-recording-test", L"\\\\?\\pipe\\orlesk-recording-test",
        L"\\\\localhost\\pipe\\orlesk-recording-test",
        L"\\\\?\\UNC\\localhost\\pipe\\orlesk-recording-test"}) {
    EXPECT_EQ(Start(std::wstring(spelling)), ORLESK_ERROR_FILE);
  }
  EXPECT_FALSE(::ConnectNamedPipe(pipe, nullptr));
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_PIPE_LISTENING))
      << "a client connected to the pipe";
  ::CloseHandle(pipe);

  for (const std::wstring& device : {std::wstring(L"NUL"), std::wstring(L"CON"),
                                     std::wstring(L"\\\\.\\NUL")}) {
    EXPECT_EQ(Start(device), ORLESK_ERROR_FILE) << std::string(device.begin(), device.end());
  }
  EXPECT_EQ(Start(folder.path()), ORLESK_ERROR_FILE) << "a folder";
  EXPECT_EQ(Start(folder / "missing" / "x.wav"), ORLESK_ERROR_FILE);

  // 251 bytes of UTF-8 fit the path buffer with its terminator, 252 do not
  // ('\u00E9' is one UTF-16 unit, two UTF-8 bytes).
  const std::wstring directory = folder.path().wstring() + L"\\";
  const std::size_t directoryBytes = fs::path(directory).u8string().size();
  ASSERT_LT(directoryBytes, 200u);
  const std::wstring fits = directory + std::wstring(251 - directoryBytes - 2, L'a') + L"\u00E9";
  const std::wstring tooLong = directory + std::wstring(252 - directoryBytes - 2, L'a') + L"\u00E9";
  EXPECT_EQ(Start(tooLong), ORLESK_ERROR_FILE);
  EXPECT_FALSE(fs::exists(tooLong));
  EXPECT_EQ(StopRecordingWav(), ORLESK_ERROR_NOT_RECORDING);

  // Depths the device cannot record are refused before the file is made.
  EXPECT_EQ(Start(folder / "twelve.wav", 8000, 12), ORLESK_ERROR_DEVICE);
  EXPECT_FALSE(fs::exists(folder / "twelve.wav"));

  ASSERT_EQ(Start(fits), ORLESK_SUCCESS);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ASSERT_EQ(StopRecordingWav(), ORLESK_SUCCESS);
  EXPECT_GT(ExpectTheDevicesFramesInOrder(fits), 0u);
}

TEST(FailingCaptureDevice, StopReturnsFourPromptlyWithTheFramesCapturedBeforeTheFailure) {
  const ScratchFolder folder;
  const fs::path path = folder / "failed.wav";
  ASSERT_EQ(Start(path), ORLESK_SUCCESS);
  // The device fails half a second in. Stopped 1.5 s later, it has been
  // silent for over a second before the stop (and had it been later, the
  // capture thread would have given up on it 2 s after its last buffer).
  std::this_thread::sleep_for(std::chrono::milliseconds(2000));
  const Clock::time_point stopping = Clock::now();
  EXPECT_EQ(StopRecordingWav(), ORLESK_ERROR_AUDIO_LOST);
  EXPECT_LT(Clock::now() - stopping, std::chrono::seconds(1));
  const std::size_t frames = ExpectTheDevicesFramesInOrder(path);
  EXPECT_GT(frames, 0u);
  EXPECT_LE(frames, 4000u);

  // The next recording opens the device afresh, and it delivers again.
  const fs::path next = folder / "next.wav";
  ASSERT_EQ(Start(next), ORLESK_SUCCESS);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(StopRecordingWav(), ORLESK_SUCCESS);
  EXPECT_GT(ExpectTheDevicesFramesInOrder(next), 0u);
}

}  // namespace
