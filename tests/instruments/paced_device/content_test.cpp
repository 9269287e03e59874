// What the device delivers: the file's bytes in order from the offset, in
// every format, then silence or the file again; frame counters without a
// file; the same through mmap access.
#include <gtest/gtest.h>

#include <string>

#include "paced_test_support.h"

namespace paced_test {
namespace {

using paced_device::PacedDeviceOptions;

// Fast delivery, with a ring that a busy machine cannot overrun: 100 ms of
// real time at speed 20.
StreamSetup RoomyRing() {
  StreamSetup setup;
  setup.ringFrames = 16000;
  setup.periodFrames = 4000;
  return setup;
}

struct FormatCase {
  snd_pcm_format_t format;
  unsigned channels;
};

class PacedContentFormats : public testing::TestWithParam<FormatCase> {};

TEST_P(PacedContentFormats, FileBytesFromTheOffsetThenSilence) {
  ScratchFolder folder;
  const Bytes input = NoiseBytes(6001, 11);
  test_support::WriteWholeFile(folder / "input.raw", input);
  PacedDeviceOptions options;
  options.file = folder / "input.raw";
  options.offset = 7;  // not a whole number of frames of any format
  options.speed = 20;
  PcmHandle pcm;
  ASSERT_EQ(OpenPacedDevice(folder.path(), options, pcm), 0);
  StreamSetup setup = RoomyRing();
  setup.format = GetParam().format;
  setup.channels = GetParam().channels;
  ASSERT_EQ(Configure(pcm.get(), setup), 0);

  const unsigned frameBytes = FrameBytes(setup);
  const std::size_t frames = (input.size() - 7) / frameBytes + 500;  // well past the end
  long error = 0;
  const Bytes read = ReadFrames(pcm.get(), setup, frames, &error);
  ASSERT_EQ(error, 0);
  Bytes expected(input.begin() + 7, input.end());
  expected.resize(frames * frameBytes, 0);
  EXPECT_EQ(read, expected);
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, PacedContentFormats,
                         testing::Values(FormatCase{SND_PCM_FORMAT_U8, 1},
                                         FormatCase{SND_PCM_FORMAT_U8, 2},
                                         FormatCase{SND_PCM_FORMAT_S16_LE, 1},
                                         FormatCase{SND_PCM_FORMAT_S16_LE, 2},
                                         FormatCase{SND_PCM_FORMAT_S24_3LE, 1},
                                         FormatCase{SND_PCM_FORMAT_S24_3LE, 2},
                                         FormatCase{SND_PCM_FORMAT_S32_LE, 1},
                                         FormatCase{SND_PCM_FORMAT_S32_LE, 2},
                                         FormatCase{SND_PCM_FORMAT_FLOAT_LE, 2}),
                         [](const testing::TestParamInfo<FormatCase>& tested) {
                           return std::string(snd_pcm_format_name(tested.param.format)) + "x" +
                                  std::to_string(tested.param.channels);
                         });

TEST(PacedContent, LoopStartsAgainAtTheOffset) {
  ScratchFolder folder;
  const Bytes input = NoiseBytes(1000, 12);
  test_support::WriteWholeFile(folder / "input.raw", input);
  PacedDeviceOptions options;
  options.file = folder / "input.raw";
  options.offset = 101;
  options.loop = true;
  options.speed = 20;
  PcmHandle pcm;
  ASSERT_EQ(OpenPacedDevice(folder.path(), options, pcm), 0);
  const StreamSetup setup = RoomyRing();  // S16_LE mono
  ASSERT_EQ(Configure(pcm.get(), setup), 0);

  const Bytes read = ReadFrames(pcm.get(), setup, 1500);
  ASSERT_EQ(read.size(), 3000u);
  for (std::size_t at = 0; at < read.size(); ++at) {
    ASSERT_EQ(read[at], input[101 + at % 899]) << "byte " << at;
  }
}

TEST(PacedContent, WithoutAFileFrameNCarriesN) {
  ScratchFolder folder;
  PacedDeviceOptions options;
  options.speed = 100;
  for (const FormatCase format : {FormatCase{SND_PCM_FORMAT_S16_LE, 1},     // wraps at 65536
                                  FormatCase{SND_PCM_FORMAT_S24_3LE, 2}}) {  // 6 bytes
    PcmHandle pcm;
    ASSERT_EQ(OpenPacedDevice(folder.path(), options, pcm), 0);
    StreamSetup setup = RoomyRing();
    setup.format = format.format;
    setup.channels = format.channels;
    setup.ringFrames = 64000;
    ASSERT_EQ(Configure(pcm.get(), setup), 0);
    const Bytes read = ReadFrames(pcm.get(), setup, 70000);
    EXPECT_TRUE(read == CounterFrames(0, 70000, FrameBytes(setup)))
        << "format " << snd_pcm_format_name(format.format);
  }
}

TEST(PacedContent, MmapAccessDeliversTheSameBytes) {
  ScratchFolder folder;
  const Bytes input = NoiseBytes(40000, 13);
  test_support::WriteWholeFile(folder / "input.raw", input);
  PacedDeviceOptions options;
  options.file = folder / "input.raw";
  options.speed = 20;
  PcmHandle pcm;
  ASSERT_EQ(OpenPacedDevice(folder.path(), options, pcm), 0);
  StreamSetup setup = RoomyRing();
  setup.channels = 2;
  setup.access = SND_PCM_ACCESS_MMAP_INTERLEAVED;
  ASSERT_EQ(Configure(pcm.get(), setup), 0);

  long error = 0;
  const Bytes read = ReadFrames(pcm.get(), setup, 10000, &error);
  ASSERT_EQ(error, 0);
  EXPECT_TRUE(read == input);
}

}  // namespace
}  // namespace paced_test
