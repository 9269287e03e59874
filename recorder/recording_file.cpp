#include "recording_file.h"

#include <algorithm>
#include <utility>

#include "open_files.h"
#include "wav_header.h"

namespace orlesk {

bool RecordingFile::Open(std::u16string path) {
  path_ = std::move(path);
  dataBytes_ = 0;
  changed_ = false;
  return common::OpenRegularFileForOneWriter(path_.c_str(), file_, created_);
}

bool RecordingFile::WriteWavHeader(std::int32_t sampleRate, std::int32_t bitsPerSample,
                                   std::int32_t channels) {
  const wav::WavHeader header = wav::ComposeWavHeader(sampleRate, bitsPerSample, channels);
  frameBytes_ = std::max<std::uint32_t>(1, wav::ReadLe16(&header[wav::kBlockAlignOffset]));
  // Cut to the header's length, not to 0: the header then overwrites bytes
  // the file already has room for, and ext4 does not take the file for one
  // being replaced (and flush it all at close).
  return file_.SetSize(header.size()) &&
         file_.WriteAt(0, header.data(), header.size()) == header.size();
}

void RecordingFile::Abandon() {
  if (created_) {
    common::CloseAndRemove(path_.c_str(), file_);
  } else {
    file_.Close();
  }
}

bool RecordingFile::StillOurs() {
  changed_ = changed_ || common::CheckFileAtPath(path_.c_str(), file_,
                                                 wav::kHeaderSize + dataBytes_) !=
                             common::FileAtPath::kInPlace;
  return !changed_;
}

bool RecordingFile::Append(const std::uint8_t* bytes, std::size_t size) {
  if (!StillOurs()) {
    return false;
  }
  const std::size_t written = file_.WriteAt(wav::kHeaderSize + dataBytes_, bytes, size);
  dataBytes_ += written;
  return written == size;
}

bool RecordingFile::WriteWavSizes() {
  if (!StillOurs()) {
    return false;
  }
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
