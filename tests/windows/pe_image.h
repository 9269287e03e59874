// What a DLL file says it exports and imports, read from the file itself
// through the system's image helpers (dbghelp), not from a loaded module.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace windows_test {

struct NamedExport {
  std::string name;
  std::uint32_t ordinal = 0;
};

struct PeImage {
  std::uint16_t machine = 0;
  // The export directory: the DLL's own name, the first ordinal, how many
  // addresses it holds and which of them have names.
  std::string exportedModuleName;
  std::uint32_t ordinalBase = 0;
  std::uint32_t exportedFunctionCount = 0;
  std::vector<NamedExport> namedExports;
  // The DLLs named by the import directory, as written there.
  std::vector<std::string> importedModules;
};

// Nothing when the file cannot be mapped or is not a PE image.
std::optional<PeImage> ReadPeImage(const std::filesystem::path& path);

}  // namespace windows_test
