// The speed effect on FIFOs: no open waits for the other end. A FIFO
// source without a writer reads as empty, a FIFO destination without a
// reader cannot be created, and a FIFO source with a writer is read as the
// stream it is.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "tavrel.h"
#include "test_files.h"

namespace {

namespace fs = std::filesystem;
using namespace test_support;

std::int32_t Apply(const fs::path& source, const fs::path& destination, std::int32_t speed) {
  return ApplySpeedEffectToWav(Utf16Path(source).c_str(), Utf16Path(destination).c_str(), speed);
}

class SpeedEffectOnFifos : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(::mkfifo(fifo_.c_str(), 0600), 0); }

  ScratchFolder folder_;
  const fs::path fifo_ = folder_ / "fifo.wav";
};

// Each case would block for ever if an open waited; the test's timeout
// catches that.
TEST_F(SpeedEffectOnFifos, ASourceWithoutAWriterReadsAsEmpty) {
  EXPECT_EQ(Apply(fifo_, folder_ / "out.wav", 150), TAVREL_ERROR_SHORT_HEADER);
  EXPECT_EQ(fs::file_size(folder_ / "out.wav"), 0u);
}

TEST_F(SpeedEffectOnFifos, ADestinationWithoutAReaderCannotBeCreated) {
  const fs::path source = folder_ / "in.wav";
  WriteWholeFile(source, MakeWav({1, 8000, 16, 0}, Ramp16(100)));
  EXPECT_EQ(Apply(source, fifo_, 150), TAVREL_ERROR_DESTINATION);
}

TEST_F(SpeedEffectOnFifos, ASourceWithAWriterIsReadAsAStream) {
  // Far more than a pipe holds, so the writer and the call take turns.
  const Bytes wav = MakeWav({1, 8000, 16, 0}, Ramp16(100000));
  const fs::path regular = folder_ / "in.wav";
  WriteWholeFile(regular, wav);
  ASSERT_EQ(Apply(regular, folder_ / "expected.wav", 150), TAVREL_SUCCESS);

  // A reader that never reads lets the writer open without waiting; from
  // then on the FIFO has a writer until all is written.
  const int idleReader = ::open(fifo_.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(idleReader, 0);
  const int writer = ::open(fifo_.c_str(), O_WRONLY);
  ASSERT_GE(writer, 0);
  std::thread feed([&] {
    std::size_t done = 0;
    while (done < wav.size()) {
      const ssize_t written = ::write(writer, wav.data() + done, wav.size() - done);
      if (written <= 0) {
        break;
      }
      done += static_cast<std::size_t>(written);
    }
    ::close(writer);
  });
  EXPECT_EQ(Apply(fifo_, folder_ / "out.wav", 150), TAVREL_SUCCESS);
  feed.join();
  ::close(idleReader);
  EXPECT_EQ(ReadWholeFile(folder_ / "out.wav"), ReadWholeFile(folder_ / "expected.wav"));
}

}  // namespace
