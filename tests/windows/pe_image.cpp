#include "pe_image.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// After windows.h, which it builds on.
#include <dbghelp.h>

#include <memory>

namespace windows_test {

namespace {

struct HandleCloser {
  void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

struct ViewUnmapper {
  void operator()(void* view) const { ::UnmapViewOfFile(view); }
};
using View = std::unique_ptr<void, ViewUnmapper>;

// The file's bytes as they lie on disk, mapped read-only; the helpers below
// translate the image's relative addresses through its section table.
class MappedFile {
 public:
  explicit MappedFile(const std::filesystem::path& path) {
    const Handle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
      return;
    }
    const Handle mapping(::CreateFileMappingW(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (mapping) {
      view_.reset(::MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
    }
    headers_ = view_ ? ::ImageNtHeader(view_.get()) : nullptr;
  }

  explicit operator bool() const { return headers_ != nullptr; }
  std::uint16_t machine() const { return headers_->FileHeader.Machine; }

  template <typename T>
  const T* Directory(std::uint16_t entry) const {
    ULONG size = 0;
    return static_cast<const T*>(::ImageDirectoryEntryToData(view_.get(), FALSE, entry, &size));
  }

  template <typename T = char>
  const T* At(ULONG rva) const {
    return static_cast<const T*>(::ImageRvaToVa(headers_, view_.get(), rva, nullptr));
  }

 private:
  View view_;
  PIMAGE_NT_HEADERS headers_ = nullptr;
};

bool ReadExports(const MappedFile& file, PeImage& image) {
  const auto* directory = file.Directory<IMAGE_EXPORT_DIRECTORY>(IMAGE_DIRECTORY_ENTRY_EXPORT);
  if (directory == nullptr) {
    return true;  // exports nothing
  }
  const char* moduleName = file.At(directory->Name);
  const auto* names = file.At<DWORD>(directory->AddressOfNames);
  const auto* ordinals = file.At<WORD>(directory->AddressOfNameOrdinals);
  if (moduleName == nullptr ||
      (directory->NumberOfNames > 0 && (names == nullptr || ordinals == nullptr))) {
    return false;
  }
  image.exportedModuleName = moduleName;
  image.ordinalBase = directory->Base;
  image.exportedFunctionCount = directory->NumberOfFunctions;
  for (DWORD i = 0; i < directory->NumberOfNames; ++i) {
    const char* name = file.At(names[i]);
    if (name == nullptr) {
      return false;
    }
    image.namedExports.push_back({name, directory->Base + ordinals[i]});
  }
  return true;
}

bool ReadImports(const MappedFile& file, PeImage& image) {
  const auto* descriptor = file.Directory<IMAGE_IMPORT_DESCRIPTOR>(IMAGE_DIRECTORY_ENTRY_IMPORT);
  // The table ends with an all-zero entry.
  for (; descriptor != nullptr && descriptor->Name != 0; ++descriptor) {
    const char* name = file.At(descriptor->Name);
    if (name == nullptr) {
      return false;
    }
    image.importedModules.emplace_back(name);
  }
  return true;
}

}  // namespace

std::optional<PeImage> ReadPeImage(const std::filesystem::path& path) {
  const MappedFile file(path);
  PeImage image;
  if (!file || !ReadExports(file, image) || !ReadImports(file, image)) {
    return std::nullopt;
  }
  image.machine = file.machine();
  return image;
}

}  // namespace windows_test
