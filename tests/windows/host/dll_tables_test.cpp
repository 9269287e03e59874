// The DLLs of one Windows architecture checked from their files, on the
// Linux side, for the builds that nothing here can run (32-bit ARM, and x86
// where the kernel cannot start wine's 32-bit loader), and for the others
// alike: the machine type, the exports exactly as the module-definition
// file names and numbers them from ordinal 1 with no empty slot, imports of
// system DLLs alone, and a version resource of the project's version.
//   windows_dll_tables_tests --machine=ARM64|ARMNT|AMD64|I386
//     --version=X.Y.Z.W DLL=DEF... [GoogleTest options]
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <map>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "pe_file.h"

namespace {

using pe_check::PeFile;

struct Dll {
  std::string path;
  std::string definitionFile;
};

void PrintTo(const Dll& dll, std::ostream* out) { *out << dll.path; }

// From the command line, before GoogleTest lists its cases.
std::vector<Dll> dlls;
std::uint16_t expectedMachine = 0;
std::string version;

// What each DLL may import: the system, the C runtime, and for the
// recorder the wave-input API. The C++ runtime is linked in.
const std::map<std::string, std::set<std::string>> kAllowedImports = {
    {"tavrel.dll", {"kernel32.dll", "msvcrt.dll"}},
    {"orlesk.dll", {"kernel32.dll", "msvcrt.dll", "winmm.dll"}}};

std::string Lowercase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string FileName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

// The EXPORTS of a .def file, "Name[@ArgumentBytes] @Ordinal" a line, as
// the DLL exports them: undecorated.
std::map<std::string, std::uint32_t> DefinedExports(const std::string& path) {
  std::ifstream in(path);
  std::map<std::string, std::uint32_t> exports;
  bool inExports = false;
  for (std::string line; std::getline(in, line);) {
    line = line.substr(0, line.find(';'));
    std::istringstream words(line);
    std::string name, ordinal;
    if (!(words >> name)) {
      continue;
    }
    if (name == "EXPORTS") {
      inExports = true;
    } else if (inExports && words >> ordinal && ordinal.size() > 1 && ordinal[0] == '@') {
      exports[name.substr(0, name.find('@'))] =
          static_cast<std::uint32_t>(std::stoul(ordinal.substr(1)));
    }
  }
  return exports;
}

class DllTables : public ::testing::TestWithParam<Dll> {
 protected:
  void SetUp() override {
    const std::optional<PeFile> file = pe_check::ReadPeFile(GetParam().path);
    ASSERT_TRUE(file.has_value()) << GetParam().path << " is not a readable PE file";
    file_ = *file;
  }
  PeFile file_;
};

TEST_P(DllTables, AreBuiltForTheArchitecture) { EXPECT_EQ(file_.machine, expectedMachine); }

TEST_P(DllTables, ExportTheDefinitionFilesNamesAtItsOrdinalsFromOne) {
  const std::map<std::string, std::uint32_t> expected = DefinedExports(GetParam().definitionFile);
  ASSERT_FALSE(expected.empty()) << GetParam().definitionFile << " defines no export";
  EXPECT_EQ(file_.exportedModuleName, FileName(GetParam().path));
  EXPECT_EQ(file_.ordinalBase, 1u);
  // One address per ordinal, none empty: no decorated twin, no runtime
  // symbol, no gap that a lookup by ordinal would fall into.
  EXPECT_EQ(file_.exportAddresses.size(), expected.size());
  EXPECT_EQ(std::count(file_.exportAddresses.begin(), file_.exportAddresses.end(), 0u), 0);
  EXPECT_EQ(file_.namedExports, expected);
}

TEST_P(DllTables, ImportOnlySystemDlls) {
  std::set<std::string> imported;
  for (const std::string& name : file_.importedModules) {
    imported.insert(Lowercase(name));
  }
  const auto allowed = kAllowedImports.find(FileName(GetParam().path));
  ASSERT_NE(allowed, kAllowedImports.end());
  EXPECT_EQ(imported, allowed->second);
}

TEST_P(DllTables, CarryTheProjectVersion) {
  unsigned parts[4] = {};
  ASSERT_EQ(std::sscanf(version.c_str(), "%u.%u.%u.%u", &parts[0], &parts[1], &parts[2],
                        &parts[3]),
            4);
  const std::uint32_t high = (parts[0] << 16) | parts[1];
  const std::uint32_t low = (parts[2] << 16) | parts[3];
  ASSERT_TRUE(file_.fixedVersions.has_value());
  EXPECT_EQ(*file_.fixedVersions, (std::vector<std::uint32_t>{high, low, high, low}));
  EXPECT_EQ(file_.versionStrings["FileVersion"], version);
  EXPECT_EQ(file_.versionStrings["ProductVersion"], version);
  EXPECT_EQ(file_.versionStrings["OriginalFilename"], FileName(GetParam().path));
}

INSTANTIATE_TEST_SUITE_P(Given, DllTables, ::testing::ValuesIn(dlls),
                         [](const ::testing::TestParamInfo<Dll>& param) {
                           const std::string name = FileName(param.param.path);
                           return name.substr(0, name.find('.'));
                         });

const std::map<std::string, std::uint16_t> kMachines = {
    {"I386", 0x014C}, {"AMD64", 0x8664}, {"ARMNT", 0x01C4}, {"ARM64", 0xAA64}};

}  // namespace

int main(int argc, char** argv) {
  std::vector<char*> gtestArguments{argv[0]};
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    const std::size_t equals = argument.find('=');
    if (argument.rfind("--machine=", 0) == 0 && kMachines.count(argument.substr(equals + 1))) {
      expectedMachine = kMachines.at(argument.substr(equals + 1));
    } else if (argument.rfind("--version=", 0) == 0) {
      version = argument.substr(equals + 1);
    } else if (argument.rfind("--", 0) != 0 && equals != std::string::npos) {
      dlls.push_back({argument.substr(0, equals), argument.substr(equals + 1)});
    } else {
      gtestArguments.push_back(argv[i]);
    }
  }
  if (expectedMachine == 0 || version.empty() || dlls.empty()) {
    std::fprintf(stderr, "usage: %s --machine=ARM64|ARMNT|AMD64|I386 --version=X.Y.Z.W DLL=DEF...\n",
                 argv[0]);
    return 2;
  }
  int count = static_cast<int>(gtestArguments.size());
  ::testing::InitGoogleTest(&count, gtestArguments.data());
  return RUN_ALL_TESTS();
}
