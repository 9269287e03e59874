// The conversion between two streams in memory: what the source's length,
// which only sizes the buffers, may and may not change.
#include "wav_conversion.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <tuple>
#include <vector>

#include "address_space.h"
#include "memory_streams.h"
#include "tavrel.h"
#include "test_files.h"

namespace {

using namespace test_support;

struct Converted {
  std::int32_t status;
  Bytes bytes;
};

// A destination that takes nothing, as a full disk does.
class FullDestination final : public tavrel::DestinationStream {
 public:
  bool Append(const std::uint8_t* /*bytes*/, std::size_t /*size*/) override {
    ++appends;
    return false;
  }
  bool WriteAt(std::uint64_t /*offset*/, const std::uint8_t* /*bytes*/,
               std::size_t /*size*/) override {
    return false;
  }
  int appends = 0;
};

Converted Convert(const Bytes& source, std::int32_t speed, std::optional<std::uint64_t> statedLength) {
  MemorySource from(source);
  MemoryDestination to;
  const std::int32_t status = tavrel::ConvertWav(from, to, speed, statedLength);
  return {status, to.bytes()};
}

TEST(WavConversion, TheSourcesLengthSizesBuffersAndChangesNoByte) {
  Bytes stereo(4 * 3000);
  for (std::size_t i = 0; i < stereo.size(); ++i) {
    stereo[i] = static_cast<std::uint8_t>(i * 131 + i / 7);
  }
  const Bytes sources[] = {
      MakeWav({1, 8000, 16, 0}, Ramp16(5000)),       // several blocks
      MakeWav({2, 8000, 16, 0}, stereo),             // several blocks, kernels
      MakeWav({2, 8000, 16, 0}, Bytes(stereo.begin(), stereo.begin() + 400)),  // less than a block
      MakeWav({1, 100, 8, 65535}, Bytes(70000, 9)),  // one wide frame and a piece
      MakeWav({1, 8000, 16, 0}, {}),                 // no frames
  };
  for (const Bytes& source : sources) {
    for (const std::int32_t speed : {1, 50, 99, 100, 150, 300}) {
      const Converted exact = Convert(source, speed, source.size());
      ASSERT_EQ(exact.status, TAVREL_SUCCESS);
      // Unknown, far too short (the source seems to grow while it is read:
      // buffers grow with it), a little short, and too long.
      for (const std::optional<std::uint64_t> stated :
           {std::optional<std::uint64_t>(), std::optional<std::uint64_t>(0),
            std::optional<std::uint64_t>(46), std::optional<std::uint64_t>(source.size() - 1),
            std::optional<std::uint64_t>(3 * source.size())}) {
        const Converted other = Convert(source, speed, stated);
        EXPECT_EQ(other.status, exact.status);
        ASSERT_EQ(other.bytes, exact.bytes)
            << source.size() << "-byte source at " << speed << ", stated length "
            << (stated ? static_cast<long long>(*stated) : -1LL);
      }
    }
  }
}

TEST(WavConversion, AHeaderAloneThatCannotBeWrittenIsAnError) {
  // Frames of no bytes: the header is all there is to write.
  Bytes noFrames = MakeWav({1, 8000, 16, 0}, Ramp16(10));
  noFrames[32] = noFrames[33] = 0;
  for (const std::int32_t speed : {100, 150}) {
    MemorySource from(noFrames);
    FullDestination to;
    EXPECT_EQ(tavrel::ConvertWav(from, to, speed, noFrames.size()), TAVREL_ERROR_IO) << speed;
    EXPECT_EQ(to.appends, 1);
  }
}

// Buffers that cannot be had leave the header alone, with the source's
// size fields and the rate halved, or an I/O error when even that cannot
// be written: whether the first allocation fails (a source known to hold a
// block of 64 MiB) or the one-frame buffer of a source said to hold none
// must grow to a whole block.
class WorkBuffersBeyondALimitedAddressSpace
    : public ::testing::TestWithParam<std::tuple<std::uint64_t, bool>> {};

TEST_P(WorkBuffersBeyondALimitedAddressSpace, LeaveTheHeaderOnly) {
  if (!kAddressSpaceCanBeLimited) {
    GTEST_SKIP() << "sanitizers reserve more address space than the limit allows";
  }
  // Not a structured binding: clang 14 cannot capture one.
  const std::uint64_t statedLength = std::get<0>(GetParam());
  const bool destinationFull = std::get<1>(GetParam());
  // Two frames of 65535 bytes, which 16 MiB of room cannot hold a block of.
  const Bytes source = MakeWav({1, 100, 8, 65535}, Bytes(2 * 65535, 7), 123456);
  const auto convert = [&] {
    MemorySource from(source);
    MemoryDestination memory;
    FullDestination full;
    tavrel::DestinationStream& to = destinationFull ? static_cast<tavrel::DestinationStream&>(full)
                                                    : memory;
    if (!LimitAddressSpace(std::size_t{16} << 20)) {
      std::_Exit(100);
    }
    const std::int32_t status = tavrel::ConvertWav(from, to, 50, statedLength);
    const Bytes& written = memory.bytes();
    const bool headerOnly =
        destinationFull ? full.appends == 1
                        : written.size() == 44 && Le32At(written, 40) == 123456u &&
                              Le32At(written, 24) == 50u;
    const std::int32_t expected = destinationFull ? TAVREL_ERROR_IO : TAVREL_ERROR_NO_MEMORY;
    std::_Exit(status != expected ? 1 : headerOnly ? 0 : 2);
  };
  EXPECT_EXIT(convert(), ::testing::ExitedWithCode(0), "");
}

INSTANTIATE_TEST_SUITE_P(, WorkBuffersBeyondALimitedAddressSpace,
                         ::testing::Combine(::testing::Values(44, 44 + 1024 * 65535),
                                            ::testing::Bool()));

}  // namespace
