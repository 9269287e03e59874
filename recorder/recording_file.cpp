#include "recording_file.h"

#include <sys/types.h>

#include "open_files.h"
#include "wav_header.h"

namespace orlesk {

common::FileStream CreateRecordingFile(const char16_t* path) {
  common::FileStream stream;
  if (common::CreateFileForWriting(path, nullptr, stream)) {
    stream.Unbuffer();
  }
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

}  // namespace orlesk
