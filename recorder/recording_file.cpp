#include "recording_file.h"

#include <algorithm>

#include "open_files.h"
#include "wav_header.h"

namespace orlesk {

bool RecordingFile::Create(const char16_t* path) {
  dataBytes_ = 0;
  return common::CreateRegularFile(path, file_);
}

bool RecordingFile::WriteWavHeader(std::int32_t sampleRate, std::int32_t bitsPerSample,
                                   std::int32_t channels) {
  const wav::WavHeader header = wav::ComposeWavHeader(sampleRate, bitsPerSample, channels);
  frameBytes_ = std::max<std::uint32_t>(1, wav::ReadLe16(&header[wav::kBlockAlignOffset]));
  return file_.WriteAt(0, header.data(), header.size()) == header.size();
}

bool RecordingFile::Append(const std::uint8_t* bytes, std::size_t size) {
  const std::size_t written = file_.WriteAt(wav::kHeaderSize + dataBytes_, bytes, size);
  dataBytes_ += written;
  return written == size;
}

bool RecordingFile::WriteWavSizes() {
  const std::uint64_t declared = std::min<std::uint64_t>(dataBytes_, wav::kMaxDataSize) /
                                 frameBytes_ * frameBytes_;
  wav::WavHeader sizes{};
  wav::SetWavSizes(sizes, declared);
  const auto writeField = [&](std::size_t offset) {
    return file_.WriteAt(offset, &sizes[offset], 4) == 4;
  };
  const bool riffWritten = writeField(wav::kRiffSizeOffset);
  const bool dataWritten = writeField(wav::kDataSizeOffset);
  return riffWritten && dataWritten;
}

}  // namespace orlesk
