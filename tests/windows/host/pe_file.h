// A Windows DLL's tables read from its bytes on any host, without the
// system's image helpers: what the Linux side checks of DLLs it cannot load.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace pe_check {

struct PeFile {
  std::uint16_t machine = 0;
  std::string exportedModuleName;
  std::uint32_t ordinalBase = 0;
  // Each slot of the export address table; 0 is an empty slot.
  std::vector<std::uint32_t> exportAddresses;
  // Name to ordinal.
  std::map<std::string, std::uint32_t> namedExports;
  std::vector<std::string> importedModules;
  // The version resource: VS_FIXEDFILEINFO's four version words (file MS,
  // LS, product MS, LS) and the strings of every string table.
  std::optional<std::vector<std::uint32_t>> fixedVersions;
  std::map<std::string, std::string> versionStrings;
};

// Nothing when the file cannot be read or any table lies outside it.
std::optional<PeFile> ReadPeFile(const std::filesystem::path& path);

}  // namespace pe_check
