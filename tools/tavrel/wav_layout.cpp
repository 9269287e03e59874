#include "wav_layout.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>

#include "wav_header.h"

namespace tavrel_tool {

namespace {

using wav::ReadLe16;
using wav::ReadLe32;
using wav::ReadLe64;

constexpr std::uint32_t kSizePlaceholder = 0xFFFFFFFFu;
constexpr std::uint64_t kChunkHeaderSize = 8;
constexpr std::uint32_t kExtensibleFormatSize = 40;
// Every standard WAVE_FORMAT_EXTENSIBLE subformat GUID is its 2-byte format
// tag followed by these 14 bytes.
constexpr std::array<std::uint8_t, 14> kSubformatGuidTail = {
    0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

bool IsTag(const std::uint8_t* bytes, const char* tag) {
  return std::memcmp(bytes, tag, std::strlen(tag)) == 0;
}

bool IsPrintable(std::uint8_t c) { return c >= 0x20 && c < 0x7F; }

// RIFF chunk ids are four printable ASCII characters.
bool LooksLikeChunkId(const std::uint8_t* id) { return std::all_of(id, id + 4, IsPrintable); }

// "LIST", "cue" for "cue ", "?" in place of a byte that cannot be shown.
std::string ChunkName(const std::uint8_t* id) {
  std::string name;
  for (int i = 0; i < 4; ++i) {
    name += IsPrintable(id[i]) ? static_cast<char>(id[i]) : '?';
  }
  name.erase(name.find_last_not_of(' ') + 1);
  return name;
}

void Add(ChunkList& list, const std::uint8_t* id) {
  if (list.ids.size() < kNamedChunksAtMost) {
    list.ids.push_back(ChunkName(id));
  }
  ++list.count;
}

// What a file that is not RIFF/WAVE is, from its first bytes.
std::string NameForeignFile(const std::uint8_t* head, std::size_t size) {
  if (size == 0) {
    return "an empty file";
  }
  if (size >= 12 && IsTag(head, "FORM") && (IsTag(head + 8, "AIFF") || IsTag(head + 8, "AIFC"))) {
    return "an AIFF file";
  }
  if (size >= 12 && (IsTag(head, "RIFF") || IsTag(head, "RF64"))) {
    return "a RIFF file of type '" + ChunkName(head + 8) + "', not WAVE";
  }
  if (size >= 4) {
    static constexpr std::pair<const char*, const char*> kMagic[] = {
        {"RIFX", "a big-endian (RIFX) WAV file"},
        {"fLaC", "a FLAC file"},
        {"OggS", "an Ogg file"},
        {"caff", "a Core Audio (CAF) file"},
        {"riff", "a Sony Wave64 file"},
        {"ID3", "an MP3 file"},
    };
    for (const auto& [magic, name] : kMagic) {
      if (IsTag(head, magic)) {
        return name;
      }
    }
    if (head[0] == 0xFF && (head[1] & 0xE0) == 0xE0) {
      return "an MP3 file";
    }
  }
  return "not a RIFF/WAVE file";
}

}  // namespace

std::optional<std::string> NameIfNotWave(const std::uint8_t* head, std::size_t size) {
  const bool riff = size >= kWaveHeadSize && (IsTag(head, "RIFF") || IsTag(head, "RF64") ||
                                              IsTag(head, "BW64"));
  if (riff && IsTag(head + 8, "WAVE")) {
    return std::nullopt;
  }
  return NameForeignFile(head, size);
}

namespace {

class ChunkWalk {
 public:
  ChunkWalk(std::FILE* file, std::uint64_t fileSize) : file_(file) { layout_.fileSize = fileSize; }

  WavReading Run();

 private:
  // Reads `count` bytes at `offset`; false when fewer arrive.
  bool ReadAt(std::uint64_t offset, std::uint8_t* bytes, std::size_t count);
  std::optional<WavReading> ReadFormat(std::uint64_t body, std::uint32_t size);
  void ReadDs64(std::uint64_t body, std::uint32_t size);
  // Whether walking goes on past the data chunk: not when it runs to the
  // end of the file.
  bool TakeData(std::uint64_t body, std::uint32_t size);
  std::uint64_t NextChunk(std::uint64_t body, std::uint64_t length);

  static WavReading Damaged(std::string what) {
    WavReading reading;
    reading.outcome = WavReading::Outcome::kNotWav;
    reading.what = std::move(what);
    return reading;
  }
  static WavReading Unreadable() { return {}; }

  std::FILE* file_;
  WavLayout layout_;
  bool haveFormat_ = false;
  bool haveData_ = false;
  std::optional<std::uint64_t> ds64DataSize_;
};

bool ChunkWalk::ReadAt(std::uint64_t offset, std::uint8_t* bytes, std::size_t count) {
  return ::fseeko(file_, static_cast<off_t>(offset), SEEK_SET) == 0 &&
         std::fread(bytes, 1, count, file_) == count;
}

WavReading ChunkWalk::Run() {
  const std::uint64_t fileSize = layout_.fileSize;
  std::array<std::uint8_t, kWaveHeadSize> head{};
  const std::size_t headSize =
      static_cast<std::size_t>(std::min<std::uint64_t>(fileSize, head.size()));
  if (!ReadAt(0, head.data(), headSize)) {
    return Unreadable();
  }
  if (std::optional<std::string> foreign = NameIfNotWave(head.data(), headSize)) {
    return Damaged(std::move(*foreign));
  }
  layout_.rf64 = !IsTag(head.data(), "RIFF");
  std::uint64_t at = head.size();
  while (at + kChunkHeaderSize <= fileSize) {
    std::array<std::uint8_t, kChunkHeaderSize> header{};
    if (!ReadAt(at, header.data(), header.size())) {
      return Unreadable();
    }
    const std::uint32_t size = ReadLe32(header.data() + 4);
    const std::uint64_t body = at + kChunkHeaderSize;
    std::uint64_t length = size;
    if (IsTag(header.data(), "data") && !haveData_) {
      if (!haveFormat_) {
        return Damaged("a WAV file whose 'data' chunk comes before its 'fmt ' chunk");
      }
      if (!TakeData(body, size)) {
        break;
      }
      length = layout_.dataSize;
    } else if (body + size > fileSize) {
      if (!haveData_) {
        return Damaged("a damaged WAV file (its '" + ChunkName(header.data()) +
                       "' chunk runs past the end of the file)");
      }
      Add(layout_.chunksAfterData, header.data());
      break;
    } else if (IsTag(header.data(), "fmt ") && !haveFormat_) {
      if (std::optional<WavReading> refusal = ReadFormat(body, size)) {
        return *refusal;
      }
    } else if (IsTag(header.data(), "ds64") && layout_.rf64) {
      ReadDs64(body, size);
    } else {
      Add(haveData_ ? layout_.chunksAfterData : layout_.chunksBeforeData, header.data());
    }
    at = NextChunk(body, length);
  }
  if (!haveFormat_) {
    return Damaged("a WAV file without a 'fmt ' chunk");
  }
  if (!haveData_) {
    return Damaged("a WAV file without a 'data' chunk");
  }
  WavReading reading;
  reading.outcome = WavReading::Outcome::kLayout;
  reading.layout = layout_;
  return reading;
}

std::optional<WavReading> ChunkWalk::ReadFormat(std::uint64_t body, std::uint32_t size) {
  if (size < kPlainFormatSize) {
    return Damaged("a damaged WAV file (its 'fmt ' chunk has only " + std::to_string(size) +
                   " bytes)");
  }
  std::array<std::uint8_t, kExtensibleFormatSize> bytes{};
  const std::uint32_t wanted = std::min(size, kExtensibleFormatSize);
  if (!ReadAt(body, bytes.data(), wanted)) {
    return Unreadable();
  }
  WavFormat& format = layout_.format;
  format.chunkSize = size;
  format.formatTag = ReadLe16(&bytes[0]);
  format.channels = ReadLe16(&bytes[2]);
  format.sampleRate = ReadLe32(&bytes[4]);
  format.byteRate = ReadLe32(&bytes[8]);
  format.blockAlign = ReadLe16(&bytes[12]);
  format.bitsPerSample = ReadLe16(&bytes[14]);
  format.sampleFormat = format.formatTag;
  if (format.formatTag == kFormatExtensible) {
    // cbSize (offset 16) covers valid bits, channel mask and the GUID.
    const bool complete = wanted == kExtensibleFormatSize && ReadLe16(&bytes[16]) >= 22;
    const bool standard = complete && std::equal(kSubformatGuidTail.begin(),
                                                 kSubformatGuidTail.end(), bytes.begin() + 26);
    format.sampleFormat = standard ? ReadLe16(&bytes[24]) : 0;
  }
  haveFormat_ = true;
  return std::nullopt;
}

void ChunkWalk::ReadDs64(std::uint64_t body, std::uint32_t size) {
  // RIFF size, then data size, each 64-bit.
  std::array<std::uint8_t, 16> bytes{};
  if (size >= bytes.size() && ReadAt(body, bytes.data(), bytes.size())) {
    ds64DataSize_ = ReadLe64(&bytes[8]);
  }
}

bool ChunkWalk::TakeData(std::uint64_t body, std::uint32_t size) {
  haveData_ = true;
  layout_.dataOffset = body;
  const std::uint64_t present = layout_.fileSize - body;
  std::uint64_t declared = size;
  // A writer that could not seek back leaves 0 or 0xFFFFFFFF here; the
  // samples then run to the end of the file. An RF64 file keeps its real
  // size in its ds64 chunk.
  bool placeholder = size == 0 || size == kSizePlaceholder;
  if (layout_.rf64 && size == kSizePlaceholder && ds64DataSize_.value_or(0) != 0) {
    declared = *ds64DataSize_;
    placeholder = false;
  }
  if (placeholder) {
    layout_.dataSize = present;
    layout_.dataSizeUnknown = true;
    return false;
  }
  if (declared > present) {
    layout_.dataSize = present;
    layout_.dataMissing = declared - present;
    return false;
  }
  layout_.dataSize = declared;
  return true;
}

// A chunk of odd length is followed by a pad byte. Some writers leave it
// out; the next chunk id then starts one byte early.
std::uint64_t ChunkWalk::NextChunk(std::uint64_t body, std::uint64_t length) {
  const std::uint64_t unpadded = body + length;
  if ((length & 1u) == 0) {
    return unpadded;
  }
  std::array<std::uint8_t, 5> around{};
  const bool padByteMissing = unpadded + around.size() <= layout_.fileSize &&
                              ReadAt(unpadded, around.data(), around.size()) &&
                              LooksLikeChunkId(&around[0]) && !LooksLikeChunkId(&around[1]);
  return padByteMissing ? unpadded : unpadded + 1;
}

}  // namespace

WavReading ReadWavLayout(const std::filesystem::path& path) {
  // Only a regular file is walked; anything else goes to the library as it
  // is. It is not even opened (a FIFO's writer would see its reader come
  // and go), and the open that follows never waits (on a FIFO put there
  // meanwhile).
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
    return {};
  }
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (descriptor < 0) {
    return {};
  }
  const File file(::fdopen(descriptor, "rb"));
  if (!file) {
    ::close(descriptor);
    return {};
  }
  if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
    return {};
  }
  return ChunkWalk(file.get(), static_cast<std::uint64_t>(status.st_size)).Run();
}

bool IsCanonical(const WavLayout& layout) {
  return !layout.rf64 && layout.format.chunkSize == kPlainFormatSize &&
         layout.format.formatTag == kFormatPcm && layout.dataOffset == wav::kHeaderSize &&
         layout.chunksBeforeData.count == 0 && layout.BytesAfterData() == 0;
}

}  // namespace tavrel_tool
