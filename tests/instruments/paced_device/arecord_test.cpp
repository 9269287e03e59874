// An ordinary ALSA application, arecord, records from the device as the
// "default" PCM through ALSA_CONFIG_PATH, with alsa.conf not read at all.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "commands.h"
#include "paced_test_support.h"

namespace paced_test {
namespace {

// The data chunk of a RIFF WAVE file.
Bytes WavData(const Bytes& wav) {
  if (wav.size() < 12 || std::string(wav.begin(), wav.begin() + 4) != "RIFF") {
    return {};
  }
  std::size_t at = 12;
  while (at + 8 <= wav.size()) {
    const std::string id(&wav[at], &wav[at] + 4);
    std::size_t size = 0;
    for (std::size_t byte = 0; byte < 4; ++byte) {
      size |= std::size_t{wav[at + 4 + byte]} << (8 * byte);
    }
    if (id == "data") {
      const std::size_t end = std::min(wav.size(), at + 8 + size);
      return Bytes(&wav[at + 8], wav.data() + end);
    }
    at += 8 + size + size % 2;
  }
  return {};
}

// arecord recording one second of S16_LE mono at 8 kHz from the "default"
// PCM of `config` into `out`; its messages go to standard output.
std::string ArecordOneSecond(const std::filesystem::path& config,
                             const std::filesystem::path& out) {
  return "ALSA_CONFIG_PATH=" + test_support::Quoted(config) +
         " arecord -q -D default -f S16_LE -r 8000 -c 1 -d 1 " + test_support::Quoted(out) +
         " 2>&1";
}

TEST(PacedArecord, RecordsTheFileBytes) {
  ScratchFolder folder;
  const Bytes input = NoiseBytes(20000, 21);
  test_support::WriteWholeFile(folder / "input.raw", input);
  paced_device::PacedDeviceOptions options;
  options.file = folder / "input.raw";
  options.offset = 3;
  options.speed = 4;
  options.report = folder / "report.txt";
  const std::filesystem::path config =
      paced_device::WritePacedDeviceConfig(folder.path(), kPluginPath, options);

  const test_support::CommandResult recorded =
      test_support::RunCommand(ArecordOneSecond(config, folder / "out.wav"));
  ASSERT_EQ(recorded.exitCode, 0) << recorded.output;

  const Bytes data = WavData(test_support::ReadWholeFile(folder / "out.wav"));
  ASSERT_EQ(data.size(), 16000u);
  EXPECT_TRUE(data == Bytes(input.begin() + 3, input.begin() + 3 + 16000));
  const auto report = paced_device::ReadPacedDeviceReport(folder / "report.txt");
  ASSERT_TRUE(report);
  EXPECT_EQ(report->framesRead, 8000u);
  EXPECT_EQ(report->overruns, 0u);
}

TEST(PacedArecord, AnotherProcessIsRefusedWhileTheDeviceIsOpen) {
  ScratchFolder folder;
  paced_device::PacedDeviceOptions options;
  options.lock = folder / "device.lock";
  PcmHandle first;
  ASSERT_EQ(OpenPacedDevice(folder.path(), options, first), 0);
  const std::string command = ArecordOneSecond(folder / "asound.conf", folder / "out.wav");
  const test_support::CommandResult refused = test_support::RunCommand(command);
  EXPECT_NE(refused.exitCode, 0);
  EXPECT_NE(refused.output.find("Device or resource busy"), std::string::npos) << refused.output;

  first.reset();
  const test_support::CommandResult recorded = test_support::RunCommand(command);
  EXPECT_EQ(recorded.exitCode, 0) << recorded.output;
}

}  // namespace
}  // namespace paced_test
