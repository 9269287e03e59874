#include "recording_file.h"

#include <fcntl.h>
#include <unistd.h>

#include "wav_header.h"

namespace orlesk {

std::FILE* CreateRecordingFile(const std::string& path) {
  // open() rather than fopen() for O_CLOEXEC: a host that starts programs
  // must not leak the recording into them.
  const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (descriptor < 0) {
    return nullptr;
  }
  std::FILE* stream = ::fdopen(descriptor, "wb");
  if (stream == nullptr) {
    ::close(descriptor);
    return nullptr;
  }
  std::setvbuf(stream, nullptr, _IONBF, 0);
  return stream;
}

bool WriteWavHeader(std::FILE* stream, std::int32_t sampleRate, std::int32_t bitsPerSample,
                    std::int32_t channels) {
  const wav::WavHeader header = wav::ComposeWavHeader(sampleRate, bitsPerSample, channels);
  return std::fwrite(header.data(), header.size(), 1, stream) == 1;
}

bool AppendToRecording(std::FILE* stream, const std::uint8_t* bytes, std::size_t size) {
  return std::fwrite(bytes, 1, size, stream) == size;
}

namespace {

bool WriteFieldAt(std::FILE* stream, std::size_t offset, const std::uint8_t* field) {
  return ::fseeko(stream, static_cast<off_t>(offset), SEEK_SET) == 0 &&
         std::fwrite(field, 4, 1, stream) == 1;
}

}  // namespace

bool FinalizeWavSizes(std::FILE* stream) {
  const off_t length = ::ftello(stream);
  if (length < static_cast<off_t>(wav::kHeaderSize)) {
    return false;
  }
  wav::WavHeader sizes{};
  wav::SetWavSizes(sizes, static_cast<std::uint64_t>(length) - wav::kHeaderSize);
  const bool riffWritten = WriteFieldAt(stream, wav::kRiffSizeOffset, &sizes[wav::kRiffSizeOffset]);
  const bool dataWritten = WriteFieldAt(stream, wav::kDataSizeOffset, &sizes[wav::kDataSizeOffset]);
  const bool atEnd = ::fseeko(stream, 0, SEEK_END) == 0;
  return riffWritten && dataWritten && atEnd;
}

bool CloseRecordingFile(std::FILE* stream) { return std::fclose(stream) == 0; }

}  // namespace orlesk
