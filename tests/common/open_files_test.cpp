// Opening files by UTF-16 path: which paths name a file, when a file counts
// as the same one, that a refused destination is never truncated, and that
// a recording's file has one writer.
#include "open_files.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "test_files.h"

namespace {

namespace fs = std::filesystem;
using namespace test_support;

TEST(OpenFiles, EverySpellingOfAFileHasItsIdentity) {
  ScratchFolder folder;
  WriteWholeFile(folder / "a.wav", Bytes{1, 2, 3});
  WriteWholeFile(folder / "b.wav", Bytes{1, 2, 3});
  fs::create_hard_link(folder / "a.wav", folder / "hard.wav");

  auto identityOf = [](const fs::path& path) {
    common::FileStream stream;
    common::FileIdentity identity;
    EXPECT_TRUE(common::OpenFileForReading(Utf16Path(path).c_str(), stream, identity)) << path;
    return identity;
  };
  const common::FileIdentity original = identityOf(folder / "a.wav");
  EXPECT_EQ(identityOf(folder / "hard.wav"), original);
#if !defined(_WIN32)  // wine makes no symbolic links
  fs::create_symlink(folder / "a.wav", folder / "soft.wav");
  EXPECT_EQ(identityOf(folder / "soft.wav"), original);
#endif
  EXPECT_EQ(identityOf(folder / "." / "a.wav"), original);
  EXPECT_NE(identityOf(folder / "b.wav"), original);
}

TEST(OpenFiles, PathsThatNameNoFileAreRefused) {
  ScratchFolder folder;
  const char16_t unpaired[] = {u'x', 0xD800, 0};
  common::FileStream stream;
  common::FileIdentity identity;
  EXPECT_FALSE(common::OpenFileForReading(nullptr, stream, identity));
  EXPECT_FALSE(common::OpenFileForReading(unpaired, stream, identity));
  EXPECT_FALSE(common::OpenFileForReading(Utf16Path(folder.path()).c_str(), stream, identity));
  EXPECT_FALSE(common::OpenFileForReading(Utf16Path(folder / "missing").c_str(), stream, identity));
  EXPECT_FALSE(common::CreateFileForWriting(nullptr, nullptr, stream));
  EXPECT_FALSE(common::CreateFileForWriting(unpaired, nullptr, stream));
  EXPECT_FALSE(common::CreateFileForWriting(Utf16Path(folder.path()).c_str(), nullptr, stream));
  EXPECT_FALSE(stream);
}

TEST(OpenFiles, CreatingTruncatesUnlessTheFileMustBeKept) {
  ScratchFolder folder;
  const fs::path kept = folder / "kept.wav";
  WriteWholeFile(kept, Bytes(100, 7));
  common::FileStream reader;
  common::FileIdentity identity;
  ASSERT_TRUE(common::OpenFileForReading(Utf16Path(kept).c_str(), reader, identity));

  common::FileStream writer;
  EXPECT_FALSE(common::CreateFileForWriting(Utf16Path(kept).c_str(), &identity, writer));
  EXPECT_EQ(fs::file_size(kept), 100u);

  ASSERT_TRUE(common::CreateFileForWriting(Utf16Path(kept).c_str(), nullptr, writer));
  EXPECT_EQ(fs::file_size(kept), 0u);
  EXPECT_TRUE(writer.Close());
}

TEST(OpenFiles, ARecordingsFileHasOneWriterLeavesAnExistingFileAsItWasAndLetsReadersIn) {
  ScratchFolder folder;
  const fs::path existing = folder / "old.wav";
  WriteWholeFile(existing, Bytes(100, 7));
  common::PositionedFile file;
  bool created = true;
  ASSERT_TRUE(common::OpenRegularFileForOneWriter(Utf16Path(existing).c_str(), file, created));
  EXPECT_FALSE(created);
  EXPECT_EQ(ReadWholeFile(existing), Bytes(100, 7));

  // A second writer, by another spelling too, is refused and touches
  // nothing; a reader is not held up.
  common::PositionedFile second;
  EXPECT_FALSE(common::OpenRegularFileForOneWriter(Utf16Path(existing).c_str(), second, created));
  EXPECT_FALSE(common::OpenRegularFileForOneWriter(Utf16Path(folder / "." / "old.wav").c_str(),
                                                   second, created));
  EXPECT_FALSE(second);
  EXPECT_EQ(ReadWholeFile(existing), Bytes(100, 7));
  ASSERT_TRUE(file.SetSize(44));
  EXPECT_EQ(ReadWholeFile(existing), Bytes(44, 7));
  EXPECT_TRUE(file.Close());
  EXPECT_TRUE(common::OpenRegularFileForOneWriter(Utf16Path(existing).c_str(), second, created));
  EXPECT_TRUE(second.Close());

  const fs::path fresh = folder / "new.wav";
  ASSERT_TRUE(common::OpenRegularFileForOneWriter(Utf16Path(fresh).c_str(), file, created));
  EXPECT_TRUE(created);
  EXPECT_TRUE(fs::is_regular_file(fresh));
  common::CloseAndRemove(Utf16Path(fresh).c_str(), file);
  EXPECT_FALSE(file);
  EXPECT_FALSE(fs::exists(fresh));
}

}  // namespace
