// tavrel.dll as a host meets it: the export table in the file holds exactly
// ApplySpeedEffectToWav, undecorated, at ordinal 1; the DLL imports only
// system DLLs; GetProcAddress by name, by ordinal and the import library
// all reach one function, which works called either way.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>

#include "pe_image.h"
#include "tavrel.h"
#include "test_files.h"
#include "windows_dll.h"

namespace {

using namespace test_support;
using namespace windows_test;
using SpeedFunction = decltype(&ApplySpeedEffectToWav);

std::string Lowercase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

TEST(TavrelDll, ExportsApplySpeedEffectToWavAloneUndecoratedAtOrdinalOne) {
  const std::optional<PeImage> image = ReadPeImage(LoadedModulePath(L"tavrel.dll"));
  ASSERT_TRUE(image.has_value());
  EXPECT_EQ(image->machine,
            sizeof(void*) == 8 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386);
  EXPECT_EQ(image->exportedModuleName, "tavrel.dll");
  // One address, at ordinal 1, and one name for it: no decorated "@12"
  // twin, no runtime symbol, no export by ordinal alone.
  EXPECT_EQ(image->ordinalBase, 1u);
  EXPECT_EQ(image->exportedFunctionCount, 1u);
  ASSERT_EQ(image->namedExports.size(), 1u);
  EXPECT_EQ(image->namedExports[0].name, "ApplySpeedEffectToWav");
  EXPECT_EQ(image->namedExports[0].ordinal, 1u);
}

TEST(TavrelDll, ImportsOnlyTheSystemAndItsCRuntime) {
  // The C++ runtime, libgcc and winpthread are linked in: nothing of
  // mingw's has to be shipped beside the DLL.
  const std::optional<PeImage> image = ReadPeImage(LoadedModulePath(L"tavrel.dll"));
  ASSERT_TRUE(image.has_value());
  std::set<std::string> imported;
  for (const std::string& name : image->importedModules) {
    imported.insert(Lowercase(name));
  }
  EXPECT_EQ(imported, (std::set<std::string>{"kernel32.dll", "msvcrt.dll"}));
}

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
  EXPECT_EQ(Lookup<SpeedFunction>(module, MAKEINTRESOURCEA(2)), nullptr);
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

}  // namespace
