#include "pe_file.h"

#include <fstream>
#include <iterator>

namespace pe_check {

namespace {

constexpr std::uint32_t kExportDirectory = 0;
constexpr std::uint32_t kImportDirectory = 1;
constexpr std::uint32_t kResourceDirectory = 2;
constexpr std::uint32_t kVersionResourceType = 16;
constexpr std::uint32_t kFixedFileInfoSignature = 0xFEEF04BD;

// Little-endian reads that report a read past the end instead of making one.
class Bytes {
 public:
  explicit Bytes(std::vector<unsigned char> data) : data_(std::move(data)) {}

  bool ok() const { return ok_; }
  std::size_t size() const { return data_.size(); }

  std::uint32_t Read(std::size_t offset, int width) {
    if (offset > data_.size() || data_.size() - offset < static_cast<std::size_t>(width)) {
      ok_ = false;
      return 0;
    }
    std::uint32_t value = 0;
    for (std::size_t i = static_cast<std::size_t>(width); i-- > 0;) {
      value = (value << 8) | data_[offset + i];
    }
    return value;
  }
  std::uint16_t U16(std::size_t offset) { return static_cast<std::uint16_t>(Read(offset, 2)); }
  std::uint32_t U32(std::size_t offset) { return Read(offset, 4); }

  std::string CString(std::size_t offset) {
    std::string text;
    while (offset < data_.size() && data_[offset] != 0) {
      text.push_back(static_cast<char>(data_[offset++]));
    }
    ok_ = ok_ && offset < data_.size();
    return text;
  }

  // UTF-16 text of ASCII characters (all that version keys and values here
  // hold); returns the offset after the terminating zero.
  std::size_t WideString(std::size_t offset, std::size_t end, std::string& text) {
    text.clear();
    for (; offset + 2 <= end; offset += 2) {
      const std::uint16_t unit = U16(offset);
      if (unit == 0) {
        return offset + 2;
      }
      text.push_back(static_cast<char>(unit));
    }
    ok_ = false;
    return end;
  }

 private:
  std::vector<unsigned char> data_;
  bool ok_ = true;
};

struct Section {
  std::uint32_t virtualAddress;
  std::uint32_t virtualSize;
  std::uint32_t rawOffset;
  std::uint32_t rawSize;
};

class Image {
 public:
  explicit Image(Bytes& bytes) : bytes_(bytes) {
    const std::uint32_t pe = bytes_.U32(0x3C);
    if (bytes_.U16(0) != 0x5A4D || bytes_.U32(pe) != 0x00004550) {
      valid_ = false;
      return;
    }
    machine_ = bytes_.U16(pe + 4);
    const std::uint16_t sectionCount = bytes_.U16(pe + 6);
    const std::size_t optional = pe + 24;
    const std::size_t sections = optional + bytes_.U16(pe + 20);
    // PE32+ (64-bit) data directories start 16 bytes later than PE32's.
    const std::size_t directories = optional + (bytes_.U16(optional) == 0x20B ? 112 : 96);
    const std::uint32_t directoryCount = bytes_.U32(directories - 4);
    for (std::uint32_t i = 0; i < directoryCount && i <= kResourceDirectory; ++i) {
      directories_.push_back(bytes_.U32(directories + 8 * i));
    }
    for (std::uint16_t i = 0; i < sectionCount; ++i) {
      const std::size_t at = sections + 40 * i;
      sections_.push_back({bytes_.U32(at + 12), bytes_.U32(at + 8), bytes_.U32(at + 20),
                           bytes_.U32(at + 16)});
    }
    valid_ = bytes_.ok();
  }

  bool valid() const { return valid_ && bytes_.ok(); }
  std::uint16_t machine() const { return machine_; }
  std::uint32_t Directory(std::uint32_t entry) const {
    return entry < directories_.size() ? directories_[entry] : 0;
  }

  // The file offset of a relative virtual address, or the file's size
  // (which every read refuses) when no section holds it.
  std::size_t Offset(std::uint32_t rva) const {
    for (const Section& section : sections_) {
      if (rva >= section.virtualAddress && rva - section.virtualAddress < section.rawSize) {
        return section.rawOffset + (rva - section.virtualAddress);
      }
    }
    return bytes_.size();
  }

 private:
  Bytes& bytes_;
  bool valid_ = true;
  std::uint16_t machine_ = 0;
  std::vector<std::uint32_t> directories_;
  std::vector<Section> sections_;
};

void ReadExports(Bytes& bytes, const Image& image, PeFile& file) {
  if (image.Directory(kExportDirectory) == 0) {
    return;
  }
  const std::size_t at = image.Offset(image.Directory(kExportDirectory));
  file.exportedModuleName = bytes.CString(image.Offset(bytes.U32(at + 12)));
  file.ordinalBase = bytes.U32(at + 16);
  const std::uint32_t functionCount = bytes.U32(at + 20);
  const std::uint32_t nameCount = bytes.U32(at + 24);
  const std::size_t functions = image.Offset(bytes.U32(at + 28));
  const std::size_t names = image.Offset(bytes.U32(at + 32));
  const std::size_t ordinals = image.Offset(bytes.U32(at + 36));
  for (std::uint32_t i = 0; i < functionCount && bytes.ok(); ++i) {
    file.exportAddresses.push_back(bytes.U32(functions + 4 * i));
  }
  for (std::uint32_t i = 0; i < nameCount && bytes.ok(); ++i) {
    const std::string name = bytes.CString(image.Offset(bytes.U32(names + 4 * i)));
    file.namedExports[name] = file.ordinalBase + bytes.U16(ordinals + 2 * i);
  }
}

void ReadImports(Bytes& bytes, const Image& image, PeFile& file) {
  if (image.Directory(kImportDirectory) == 0) {
    return;
  }
  // 20-byte descriptors, the last one all zero.
  for (std::size_t at = image.Offset(image.Directory(kImportDirectory)); bytes.ok(); at += 20) {
    const std::uint32_t name = bytes.U32(at + 12);
    if (name == 0) {
      return;
    }
    file.importedModules.push_back(bytes.CString(image.Offset(name)));
  }
}

// One node of a VS_VERSIONINFO tree: length, value length, type, key, the
// value, then child nodes, each part aligned to 4 bytes.
void ReadVersionNode(Bytes& bytes, std::size_t at, std::size_t limit, PeFile& file) {
  const std::size_t end = at + bytes.U16(at);
  if (end > limit || end < at + 6) {
    bytes.Read(bytes.size(), 1);  // marks the file malformed
    return;
  }
  const std::uint16_t valueLength = bytes.U16(at + 2);
  const bool text = bytes.U16(at + 4) == 1;
  std::string key;
  const std::size_t value = (bytes.WideString(at + 6, end, key) + 3) & ~std::size_t{3};
  if (key == "VS_VERSION_INFO" && valueLength >= 52 &&
      bytes.U32(value) == kFixedFileInfoSignature) {
    file.fixedVersions = {bytes.U32(value + 8), bytes.U32(value + 12), bytes.U32(value + 16),
                          bytes.U32(value + 20)};
  }
  if (text && valueLength > 0 && key != "StringFileInfo") {
    std::string content;
    bytes.WideString(value, end, content);
    file.versionStrings[key] = content;
  }
  std::size_t child = (value + std::size_t{valueLength} * (text ? 2u : 1u) + 3) & ~std::size_t{3};
  while (child + 6 <= end && bytes.ok()) {
    const std::size_t length = bytes.U16(child);
    if (length == 0) {
      break;
    }
    ReadVersionNode(bytes, child, end, file);
    child = (child + length + 3) & ~std::size_t{3};
  }
}

// The resource tree: type, name, language. The version resource is the
// first name and language under type 16.
void ReadVersion(Bytes& bytes, const Image& image, PeFile& file) {
  if (image.Directory(kResourceDirectory) == 0) {
    return;
  }
  const std::size_t root = image.Offset(image.Directory(kResourceDirectory));
  std::size_t directory = root;
  for (int level = 0; level < 3 && bytes.ok(); ++level) {
    const std::uint32_t entries = bytes.U16(directory + 12) + bytes.U16(directory + 14);
    std::uint32_t target = 0;
    for (std::uint32_t i = 0; i < entries && target == 0; ++i) {
      const std::size_t entry = directory + 16 + 8 * i;
      if (level > 0 || bytes.U32(entry) == kVersionResourceType) {
        target = bytes.U32(entry + 4);
      }
    }
    if (target == 0 || (level < 2) != ((target & 0x80000000u) != 0)) {
      return;
    }
    directory = root + (target & 0x7FFFFFFFu);
  }
  const std::size_t data = image.Offset(bytes.U32(directory));
  ReadVersionNode(bytes, data, data + bytes.U32(directory + 4), file);
}

}  // namespace

std::optional<PeFile> ReadPeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return std::nullopt;
  }
  Bytes bytes(std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {}));
  const Image image(bytes);
  if (!image.valid()) {
    return std::nullopt;
  }
  PeFile file;
  file.machine = image.machine();
  ReadExports(bytes, image, file);
  ReadImports(bytes, image, file);
  ReadVersion(bytes, image, file);
  if (!bytes.ok()) {
    return std::nullopt;
  }
  return file;
}

}  // namespace pe_check
