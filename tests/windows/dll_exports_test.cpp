// The DLLs as a host meets them: the export tables in the files hold
// exactly ApplySpeedEffectToWav at ordinal 1 and ApplyTempoEffectToWav at 2
// (tavrel.dll), StartRecordingWav
// at 1 and StopRecordingWav at 2 (orlesk.dll), undecorated; each imports
// only system DLLs; GetProcAddress by name, by ordinal and the import
// library all reach one function, which works called either way.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "pe_image.h"
#include "orlesk.h"
#include "tavrel.h"
#include "test_files.h"
#include "windows_dll.h"

namespace {

using namespace test_support;
using namespace windows_test;
using SpeedFunction = decltype(&ApplySpeedEffectToWav);

// The DLLs are built for the test's own architecture.
constexpr std::uint16_t kBuildMachine =
#if defined(__aarch64__)
    IMAGE_FILE_MACHINE_ARM64;
#elif defined(__arm__)
    IMAGE_FILE_MACHINE_ARMNT;
#elif defined(__x86_64__)
    IMAGE_FILE_MACHINE_AMD64;
#else
    IMAGE_FILE_MACHINE_I386;
#endif

std::string Lowercase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// What each DLL exports and imports: the names and ordinals hosts look up,
// nothing beyond the system and the C runtime (winmm for the recorder).
struct DllContract {
  const wchar_t* module;
  std::string fileName;
  std::vector<NamedExport> exports;
  std::set<std::string> imports;
};

class DllTables : public ::testing::TestWithParam<DllContract> {};

TEST_P(DllTables, ExportExactlyTheirNamesUndecoratedAtTheirOrdinals) {
  const DllContract& dll = GetParam();
  const std::optional<PeImage> image = ReadPeImage(LoadedModulePath(dll.module));
  ASSERT_TRUE(image.has_value());
  EXPECT_EQ(image->machine, kBuildMachine);
  EXPECT_EQ(image->exportedModuleName, dll.fileName);
  // One address per export, from ordinal 1, and one name for each: no
  // decorated "@12" twin, no runtime symbol, no export by ordinal alone.
  EXPECT_EQ(image->ordinalBase, 1u);
  EXPECT_EQ(image->exportedFunctionCount, dll.exports.size());
  ASSERT_EQ(image->namedExports.size(), dll.exports.size());
  for (std::size_t i = 0; i < dll.exports.size(); ++i) {
    EXPECT_EQ(image->namedExports[i].name, dll.exports[i].name);
    EXPECT_EQ(image->namedExports[i].ordinal, dll.exports[i].ordinal);
  }
}

TEST_P(DllTables, ImportOnlyTheSystemAndTheCRuntime) {
  // The C++ runtime, libgcc and winpthread are linked in: nothing of
  // mingw's has to be shipped beside the DLL.
  const DllContract& dll = GetParam();
  const std::optional<PeImage> image = ReadPeImage(LoadedModulePath(dll.module));
  ASSERT_TRUE(image.has_value());
  std::set<std::string> imported;
  for (const std::string& name : image->importedModules) {
    imported.insert(Lowercase(name));
  }
  EXPECT_EQ(imported, dll.imports);
}

INSTANTIATE_TEST_SUITE_P(
    BothLibraries, DllTables,
    ::testing::Values(
        DllContract{L"tavrel.dll", "tavrel.dll",
                    {{"ApplySpeedEffectToWav", 1}, {"ApplyTempoEffectToWav", 2}},
                    {"kernel32.dll", "msvcrt.dll"}},
        DllContract{L"orlesk.dll",
                    "orlesk.dll",
                    {{"StartRecordingWav", 1}, {"StopRecordingWav", 2}},
                    {"kernel32.dll", "msvcrt.dll", "winmm.dll"}}),
    [](const ::testing::TestParamInfo<DllContract>& param) {
      return param.param.fileName.substr(0, param.param.fileName.find('.'));
    });

TEST(TavrelDll, NameOrdinalAndImportLibraryReachTheSameFunction) {
  const HMODULE module = ::GetModuleHandleW(L"tavrel.dll");
  ASSERT_NE(module, nullptr);
  const auto byName = Lookup<SpeedFunction>(module, "ApplySpeedEffectToWav");
  const auto byOrdinal = Lookup<SpeedFunction>(module, MAKEINTRESOURCEA(1));
  ASSERT_NE(byName, nullptr);
  EXPECT_EQ(byOrdinal, byName);
  EXPECT_EQ(&ApplySpeedEffectToWav, byName);  // through the import library
  for (const char* missing : {"ApplySpeedEffectToWav@12", "_ApplySpeedEffectToWav@12",
                              "_ApplySpeedEffectToWav", "applyspeedeffecttowav"}) {
    EXPECT_EQ(Lookup<SpeedFunction>(module, missing), nullptr) << missing;
  }
  EXPECT_EQ(Lookup<SpeedFunction>(module, MAKEINTRESOURCEA(3)), nullptr);
}

TEST(TavrelDll, TheTempoEffectAtOrdinalTwoIsTheNamedOneAndCallsAlike) {
  const HMODULE module = ::GetModuleHandleW(L"tavrel.dll");
  const auto byOrdinal = Lookup<SpeedFunction>(module, MAKEINTRESOURCEA(2));
  ASSERT_NE(byOrdinal, nullptr);
  EXPECT_EQ(byOrdinal, Lookup<SpeedFunction>(module, "ApplyTempoEffectToWav"));
  EXPECT_EQ(byOrdinal, &ApplyTempoEffectToWav);  // through the import library
  const ScratchFolder folder;
  WriteWholeFile(folder / "in.wav", MakeWav({1, 8000, 16, 0}, Ramp16(3000)));
  const HostString in = HostPath(folder / "in.wav");
  ASSERT_EQ(ApplyTempoEffectToWav(in.c_str(), HostPath(folder / "direct.wav").c_str(), 150),
            TAVREL_SUCCESS);
  EXPECT_EQ(byOrdinal(in.c_str(), HostPath(folder / "ordinal.wav").c_str(), 150), TAVREL_SUCCESS);
  const Bytes expected = ReadWholeFile(folder / "direct.wav");
  EXPECT_EQ(expected.size(), 44u + 2 * (3000 * 100 / 150));
  EXPECT_EQ(ReadWholeFile(folder / "ordinal.wav"), expected);
}

TEST(TavrelDll, CallsByOrdinalAndByNameGiveTheSameFile) {
  // Called through pointers of the header's type, as a host that loads the
  // DLL at run time calls it.
  const HMODULE module = ::GetModuleHandleW(L"tavrel.dll");
  const auto byName = Lookup<SpeedFunction>(module, "ApplySpeedEffectToWav");
  const auto byOrdinal = Lookup<SpeedFunction>(module, MAKEINTRESOURCEA(1));
  ASSERT_NE(byName, nullptr);
  ASSERT_NE(byOrdinal, nullptr);
  const ScratchFolder folder;
  WriteWholeFile(folder / "in.wav", MakeWav({1, 8000, 16, 0}, Ramp16(3000)));
  const HostString in = HostPath(folder / "in.wav");
  const HostString viaName = HostPath(folder / "name.wav");
  const HostString viaOrdinal = HostPath(folder / "ordinal.wav");
  const HostString direct = HostPath(folder / "direct.wav");
  ASSERT_EQ(ApplySpeedEffectToWav(in.c_str(), direct.c_str(), 150), TAVREL_SUCCESS);
  EXPECT_EQ(byName(in.c_str(), viaName.c_str(), 150), TAVREL_SUCCESS);
  EXPECT_EQ(byOrdinal(in.c_str(), viaOrdinal.c_str(), 150), TAVREL_SUCCESS);
  EXPECT_EQ(byOrdinal(in.c_str(), viaOrdinal.c_str(), 0), TAVREL_ERROR_SPEED);
  const Bytes expected = ReadWholeFile(folder / "direct.wav");
  EXPECT_GT(expected.size(), 44u);
  EXPECT_EQ(ReadWholeFile(folder / "name.wav"), expected);
  EXPECT_EQ(ReadWholeFile(folder / "ordinal.wav"), expected);
}

TEST(OrleskDll, NameOrdinalAndImportLibraryReachTheSameFunctions) {
  using StartFunction = decltype(&StartRecordingWav);
  using StopFunction = decltype(&StopRecordingWav);
  const HMODULE module = ::GetModuleHandleW(L"orlesk.dll");
  ASSERT_NE(module, nullptr);
  const auto start = Lookup<StartFunction>(module, "StartRecordingWav");
  const auto stop = Lookup<StopFunction>(module, "StopRecordingWav");
  ASSERT_NE(start, nullptr);
  ASSERT_NE(stop, nullptr);
  EXPECT_EQ(Lookup<StartFunction>(module, MAKEINTRESOURCEA(1)), start);
  EXPECT_EQ(Lookup<StopFunction>(module, MAKEINTRESOURCEA(2)), stop);
  EXPECT_EQ(&StartRecordingWav, start);  // through the import library
  EXPECT_EQ(&StopRecordingWav, stop);
  for (const char* missing : {"StartRecordingWav@12", "_StartRecordingWav@12", "StopRecordingWav@0",
                              "_StopRecordingWav@0", "startrecordingwav"}) {
    EXPECT_EQ(Lookup<StartFunction>(module, missing), nullptr) << missing;
  }
  EXPECT_EQ(Lookup<StartFunction>(module, MAKEINTRESOURCEA(3)), nullptr);
  // Called by ordinal with nothing recording: the status says so.
  EXPECT_EQ(Lookup<StopFunction>(module, MAKEINTRESOURCEA(2))(), ORLESK_ERROR_NOT_RECORDING);
}

}  // namespace
