// Paths through tavrel.dll on Windows. Names the ANSI code page cannot hold
// reach the file system intact; the destination is refused with 3, and the
// source left as it was, when it is the source under any spelling; and no
// path makes the call wait for another process before it can open a file.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tavrel.h"
#include "test_files.h"
#include "windows_dll.h"

namespace {

namespace fs = std::filesystem;
using namespace test_support;

class WindowsPaths : public ::testing::Test {
 protected:
  std::int32_t Apply(const fs::path& from, const fs::path& to, std::int32_t speed = 100) {
    return ApplySpeedEffectToWav(from.c_str(), to.c_str(), speed);
  }

  ScratchFolder folder_;
  const Bytes source_ = MakeWav({1, 8000, 16, 0}, Ramp16(3000));
};

std::wstring Uppercase(std::wstring text) {
  ::CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

std::wstring ShortPathOf(const std::wstring& path) {
  std::wstring shortPath(32768, L'\0');
  shortPath.resize(
      ::GetShortPathNameW(path.c_str(), shortPath.data(), static_cast<DWORD>(shortPath.size())));
  return shortPath;
}

std::wstring WithForwardSlashes(std::wstring path) {
  for (wchar_t& c : path) {
    c = c == L'\\' ? L'/' : c;
  }
  return path;
}

TEST_F(WindowsPaths, NamesOutsideTheAnsiCodePageReachTheFileSystemIntact) {
  // Accents (in code page 1252), Cyrillic and a dotted capital I (not in
  // it), Japanese, and characters beyond the BMP (surrogate pairs), in a
  // folder whose own name is Japanese.
  const fs::path folder = folder_ / L"\u65E5\u672C\u8A9E";
  fs::create_directory(folder);
  WriteWholeFile(folder / "plain.wav", source_);
  ASSERT_EQ(Apply(folder / "plain.wav", folder / "plain 150.wav", 150), TAVREL_SUCCESS);
  const Bytes expected = ReadWholeFile(folder / "plain 150.wav");
  std::set<fs::path> created{L"plain.wav", L"plain 150.wav"};

  for (const std::wstring name :
       {L"caf\u00E9 \u00E0 la cr\u00E8me", L"\u0416\u0436 \u00DF \u0130i",
        L"\u97F3\u58F0\u30D5\u30A1\u30A4\u30EB", L"\U0001F3B5 \U0001D11E"}) {
    WriteWholeFile(folder / (name + L".wav"), source_);
    EXPECT_EQ(Apply(folder / (name + L".wav"), folder / (name + L" 150.wav"), 150), TAVREL_SUCCESS);
    EXPECT_EQ(ReadFileIfExists(folder / (name + L" 150.wav")), expected);
    created.insert({name + L".wav", name + L" 150.wav"});
  }
  // Nothing else appeared, such as a name with '?' for every character the
  // code page lacks.
  EXPECT_EQ(FileNamesIn(folder), created);
}

TEST_F(WindowsPaths, TheSourceUnderAnyOtherSpellingIsRefusedAsTheDestination) {
  // A long name, so that it has an 8.3 name of its own.
  const fs::path source = folder_ / "Source recording with a long name.wav";
  WriteWholeFile(source, source_);
  const std::wstring path = fs::absolute(source).wstring();
  const std::wstring shortPath = ShortPathOf(path);
  ASSERT_FALSE(shortPath.empty());
  ASSERT_NE(Uppercase(shortPath), Uppercase(path));
  const fs::path hardLink = folder_ / "hard link.wav";
  ASSERT_TRUE(::CreateHardLinkW(hardLink.c_str(), path.c_str(), nullptr));
  fs::create_directory(folder_ / "sub");

  const std::vector<std::wstring> spellings{
      path,
      Uppercase(path),
      WithForwardSlashes(path),
      L"\\\\?\\" + path,
      shortPath,
      hardLink.wstring(),
      (folder_ / "sub" / ".." / source.filename()).wstring(),
  };
  for (const std::wstring& same : spellings) {
    for (const std::int32_t speed : {50, 100, 200}) {
      EXPECT_EQ(Apply(source, same, speed), TAVREL_ERROR_DESTINATION) << fs::path(same);
      EXPECT_EQ(Apply(same, source, speed), TAVREL_ERROR_DESTINATION) << fs::path(same);
      ASSERT_EQ(ReadFileIfExists(source), source_);
    }
  }
}

TEST_F(WindowsPaths, AnotherFileWithTheSameNameAndBytesIsNotTheSource) {
  fs::create_directory(folder_ / "a");
  fs::create_directory(folder_ / "b");
  WriteWholeFile(folder_ / "a" / "same.wav", source_);
  ASSERT_TRUE(::CopyFileW((folder_ / "a" / "same.wav").c_str(),
                          (folder_ / "b" / "same.wav").c_str(), TRUE));
  EXPECT_EQ(Apply(folder_ / "a" / "same.wav", folder_ / "b" / "SAME.WAV", 200), TAVREL_SUCCESS);
  EXPECT_LT(fs::file_size(folder_ / "b" / "same.wav"), source_.size());
  EXPECT_EQ(ReadFileIfExists(folder_ / "a" / "same.wav"), source_);
}

TEST_F(WindowsPaths, ADestinationThatCannotBeTruncatedIsLeftAsItWas) {
  // Another user of the file has it mapped into memory: it opens for
  // writing, but cannot be truncated.
  WriteWholeFile(folder_ / "in.wav", source_);
  const Bytes kept(1000, 0x5A);
  WriteWholeFile(folder_ / "mapped.wav", kept);
  const HANDLE file =
      ::CreateFileW((folder_ / "mapped.wav").c_str(), GENERIC_READ,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  const HANDLE mapping = ::CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  ASSERT_NE(mapping, nullptr);
  void* view = ::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
  ASSERT_NE(view, nullptr);
  const HANDLE writer = ::CreateFileW((folder_ / "mapped.wav").c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(writer, INVALID_HANDLE_VALUE) << "the open itself must not be what fails";
  ::CloseHandle(writer);

  EXPECT_EQ(Apply(folder_ / "in.wav", folder_ / "mapped.wav"), TAVREL_ERROR_DESTINATION);
  ::UnmapViewOfFile(view);
  ::CloseHandle(mapping);
  ::CloseHandle(file);
  EXPECT_EQ(ReadFileIfExists(folder_ / "mapped.wav"), kept);
}

TEST_F(WindowsPaths, NamedPipesNeverMakeTheCallWaitToOpen) {
  const std::wstring pipe = L"\\\\.\\pipe\\tavrel-test-" + std::to_wstring(::GetCurrentProcessId());
  WriteWholeFile(folder_ / "in.wav", source_);

  // No server: there is nothing to connect to, and the call says so at once.
  EXPECT_EQ(Apply(pipe, folder_ / "out.wav"), TAVREL_ERROR_SOURCE);
  EXPECT_FALSE(fs::exists(folder_ / "out.wav"));
  EXPECT_EQ(Apply(folder_ / "in.wav", pipe), TAVREL_ERROR_DESTINATION);

  // A server that writes a WAV file and hangs up: read as a stream.
  const HANDLE server = ::CreateNamedPipeW(pipe.c_str(), PIPE_ACCESS_OUTBOUND,
                                           PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0, 0, 0, nullptr);
  ASSERT_NE(server, INVALID_HANDLE_VALUE);
  std::thread writer([&] {
    // False with ERROR_PIPE_CONNECTED when the client came first.
    ::ConnectNamedPipe(server, nullptr);
    DWORD written = 0;
    ::WriteFile(server, source_.data(), static_cast<DWORD>(source_.size()), &written, nullptr);
    ::FlushFileBuffers(server);  // returns once the client has read it all
    ::CloseHandle(server);
  });
  EXPECT_EQ(Apply(pipe, folder_ / "out.wav"), TAVREL_SUCCESS);
  writer.join();
  EXPECT_EQ(ReadFileIfExists(folder_ / "out.wav"), source_);
}

}  // namespace
