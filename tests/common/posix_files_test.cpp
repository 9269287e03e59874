// Files on POSIX systems: no open waits for a FIFO's other end, only a
// regular file is taken for a recording (and its writer's hold on it ends
// with it), and positioned writes leave the shared file offset alone.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "address_space.h"
#include "open_files.h"
#include "positioned_file.h"
#include "test_files.h"

namespace {

namespace fs = std::filesystem;
using namespace test_support;

// Each case would block for ever if an open waited for the FIFO's other
// end; the test's timeout catches that.
TEST(OpenFiles, AFifoNeverMakesAnOpenWait) {
  ScratchFolder folder;
  const fs::path fifo = folder / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

  // No writer: the FIFO opens at once and reads as empty.
  common::FileStream reader;
  common::FileIdentity identity;
  ASSERT_TRUE(common::OpenFileForReading(Utf16Path(fifo).c_str(), reader, identity));
  char byte = 0;
  EXPECT_EQ(std::fread(&byte, 1, 1, reader.get()), 0u);
  EXPECT_TRUE(std::feof(reader.get()));
  reader.Close();

  // No reader: it cannot be opened for writing.
  common::FileStream writer;
  EXPECT_FALSE(common::CreateFileForWriting(Utf16Path(fifo).c_str(), nullptr, writer));

  // With a reader it can, and the stream blocks again: a write waits for
  // room rather than failing.
  const int readEnd = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(readEnd, 0);
  ASSERT_TRUE(common::CreateFileForWriting(Utf16Path(fifo).c_str(), nullptr, writer));
  EXPECT_EQ(::fcntl(fileno(writer.get()), F_GETFL) & O_NONBLOCK, 0);
  ASSERT_EQ(std::fwrite("x", 1, 1, writer.get()), 1u);
  EXPECT_TRUE(writer.Close());
  EXPECT_EQ(::read(readEnd, &byte, 1), 1);
  EXPECT_EQ(byte, 'x');
  ::close(readEnd);
}

// Whether a writer opened the FIFO (and closed it) since `readEnd` was
// opened: Linux then reports a hang-up to the reader, which a read cannot
// tell from a FIFO that never had a writer.
bool ReaderSawAWriter(int readEnd) {
  pollfd poll{readEnd, POLLIN, 0};
  return ::poll(&poll, 1, 0) > 0 && (poll.revents & POLLHUP) != 0;
}

TEST(OpenFiles, OnlyARegularFileIsOpenedForAWriterAndNothingElseIsTouched) {
  ScratchFolder folder;
  common::PositionedFile file;
  bool created = false;
  const fs::path fifo = folder / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int readEnd = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(readEnd, 0);
  for (const fs::path& special : {fifo, fs::path("/dev/null"), folder.path()}) {
    EXPECT_FALSE(common::OpenRegularFileForOneWriter(Utf16Path(special).c_str(), file, created))
        << special;
    EXPECT_FALSE(file);
  }
  EXPECT_FALSE(ReaderSawAWriter(readEnd));
  char byte = 0;
  EXPECT_EQ(::read(readEnd, &byte, 1), 0);
  ::close(readEnd);
  EXPECT_FALSE(common::OpenRegularFileForOneWriter(nullptr, file, created));
}

// The lock belongs to the writer, not to every copy of its descriptor: a
// fork() child that outlives the parent's close must not keep the file
// from its next writer.
TEST(OpenFiles, ClosingEndsTheWritersHoldEvenWhileAForkedChildHasACopy) {
  ScratchFolder folder;
  const std::u16string path = Utf16Path(folder / "r.wav");
  common::PositionedFile file;
  bool created = false;
  ASSERT_TRUE(common::OpenRegularFileForOneWriter(path.c_str(), file, created));
  int hold[2];
  ASSERT_EQ(::pipe(hold), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(hold[1]);
    char byte = 0;
    [[maybe_unused]] const ssize_t ended = ::read(hold[0], &byte, 1);
    std::_Exit(0);
  }
  ::close(hold[0]);
  common::PositionedFile second;
  EXPECT_FALSE(common::OpenRegularFileForOneWriter(path.c_str(), second, created));
  EXPECT_TRUE(file.Close());
  EXPECT_TRUE(common::OpenRegularFileForOneWriter(path.c_str(), second, created));
  ::close(hold[1]);
  ::waitpid(child, nullptr, 0);
}

// A failed start removes the file it created, never what has taken its
// place at the path meanwhile.
TEST(OpenFiles, AFileReplacedIsFoundGoneAndWhatTookItsPlaceIsNeverRemoved) {
  ScratchFolder folder;
  const fs::path path = folder / "r.wav";
  const std::u16string wide = Utf16Path(path);
  common::PositionedFile file;
  bool created = false;
  ASSERT_TRUE(common::OpenRegularFileForOneWriter(wide.c_str(), file, created));
  EXPECT_EQ(common::CheckFileAtPath(wide.c_str(), file, 0), common::FileAtPath::kInPlace);
  EXPECT_EQ(common::CheckFileAtPath(wide.c_str(), file, 1), common::FileAtPath::kShortened);
  WriteWholeFile(folder / "other.wav", Bytes(10, 1));
  fs::rename(folder / "other.wav", path);
  EXPECT_EQ(common::CheckFileAtPath(wide.c_str(), file, 0), common::FileAtPath::kGone);
  common::CloseAndRemove(wide.c_str(), file);
  EXPECT_EQ(ReadWholeFile(path), Bytes(10, 1));
}

TEST(PositionedFile, WritesWhereToldAndLeavesTheSharedFileOffsetAlone) {
  ScratchFolder folder;
  const fs::path path = folder / "p.bin";
  const int descriptor = ::open(path.c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_GE(descriptor, 0);
  // A duplicate shares the offset, as a fork() child's copy does.
  const int shared = ::dup(descriptor);
  ASSERT_GE(shared, 0);
  ASSERT_EQ(::lseek(shared, 3, SEEK_SET), 3);
  common::PositionedFile file = common::PositionedFile::Adopt(descriptor);
  const std::uint8_t bytes[] = {1, 2, 3, 4};
  EXPECT_EQ(file.WriteAt(10, bytes, 4), 4u);
  EXPECT_EQ(file.WriteAt(0, bytes, 2), 2u);
  EXPECT_EQ(::lseek(shared, 0, SEEK_CUR), 3);
  EXPECT_TRUE(file.Close());
  ::close(shared);
  EXPECT_EQ(ReadWholeFile(path), (Bytes{1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4}));
}

TEST(PositionedFile, AWriteThatFailsHalfwayCountsWhatWasWritten) {
  ScratchFolder folder;
  const fs::path path = folder / "full.bin";
  EXPECT_EXIT(
      {
        LimitFileSize(6);
        common::PositionedFile file;
        const Bytes bytes(10, 9);
        bool created = false;
        const bool opened =
            common::OpenRegularFileForOneWriter(Utf16Path(path).c_str(), file, created);
        std::_Exit(opened && file.WriteAt(2, bytes.data(), bytes.size()) == 4 ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(fs::file_size(path), 6u);
}

}  // namespace
