#include "layout_text.h"

#include <cstdio>
#include <filesystem>
#include <vector>

namespace tavrel_tool {

namespace {

constexpr std::uint16_t kFormatFloat = 0x0003;

const char* FormatName(std::uint16_t tag) {
  switch (tag) {
    case 0x0002: return "Microsoft ADPCM";
    case 0x0006: return "A-law";
    case 0x0007: return "\u00b5-law";
    case 0x0011: return "IMA ADPCM";
    case 0x0031: return "GSM 6.10";
    case 0x0040: return "G.721 ADPCM";
    case 0x0050: return "MPEG";
    case 0x0055: return "MP3";
    default: return nullptr;
  }
}

// "a LIST chunk", "LIST and fact chunks", "LIST, fact, bext and 4 more chunks"
std::string ChunkPhrase(const ChunkList& chunks) {
  if (chunks.count == 1) {
    return "a " + chunks.ids.front() + " chunk";
  }
  std::vector<std::string> names = chunks.ids;
  if (chunks.count > names.size()) {
    names.push_back(std::to_string(chunks.count - names.size()) + " more");
  }
  std::string phrase;
  for (std::size_t i = 0; i < names.size(); ++i) {
    phrase += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
  }
  return phrase + " chunks";
}

std::string Bytes(std::uint64_t count) {
  return std::to_string(count) + (count == 1 ? " byte" : " bytes");
}

// In single quotes for a POSIX shell.
std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) {
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return quoted + "'";
}

}  // namespace

std::optional<std::string> UncomputableSamples(const WavFormat& format, std::int32_t speed) {
  const unsigned bits = format.bitsPerSample;
  if (format.sampleFormat == kFormatFloat) {
    return std::to_string(bits) + "-bit float samples";
  }
  if (format.sampleFormat != kFormatPcm) {
    if (format.formatTag == kFormatExtensible && format.sampleFormat == 0) {
      return std::string("samples of a WAVE_FORMAT_EXTENSIBLE subformat of no standard kind");
    }
    const char* name = FormatName(format.sampleFormat);
    char text[64];
    std::snprintf(text, sizeof text, "audio of format 0x%04X", format.sampleFormat);
    return name != nullptr ? std::string(name) + " audio" : std::string(text);
  }
  if (speed < 100 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
    return std::to_string(bits) + "-bit integer samples";
  }
  if (format.channels == 0 || format.blockAlign == 0) {
    return std::string("frames of no channels or no bytes (a damaged 'fmt ' chunk)");
  }
  return std::nullopt;
}

std::string LayoutDifferences(const WavLayout& layout) {
  std::vector<std::string> phrases;
  if (layout.rf64) {
    phrases.push_back("in an RF64 file");
  }
  if (layout.format.formatTag == kFormatExtensible) {
    phrases.push_back("after a WAVE_FORMAT_EXTENSIBLE 'fmt ' chunk");
  } else if (layout.format.chunkSize != kPlainFormatSize) {
    phrases.push_back("after a 'fmt ' chunk of " + Bytes(layout.format.chunkSize));
  }
  if (layout.dataSizeUnknown) {
    phrases.push_back("of unknown size (to the end of the file)");
  }
  if (layout.dataMissing != 0) {
    phrases.push_back("cut " + Bytes(layout.dataMissing) + " short by the end of the file");
  }
  if (layout.chunksBeforeData.count != 0) {
    phrases.push_back("past " + ChunkPhrase(layout.chunksBeforeData));
  }
  if (layout.chunksAfterData.count != 0) {
    phrases.push_back("with " + ChunkPhrase(layout.chunksAfterData) + " after it");
  } else if (layout.BytesAfterData() != 0) {
    phrases.push_back("with " + Bytes(layout.BytesAfterData()) + " after it");
  }
  std::string text;
  for (const std::string& phrase : phrases) {
    text += (text.empty() ? "" : ", ") + phrase;
  }
  return text;
}

std::string ConversionAdvice(const std::string& source, unsigned bitsPerSample) {
  const char* codec = bitsPerSample > 16 ? "pcm_s24le" : "pcm_s16le";
  if (source == "-") {
    return std::string("ffmpeg -i - -c:a ") + codec + " -f wav -";
  }
  const std::filesystem::path path(source);
  const std::filesystem::path converted = path.parent_path() / (path.stem().string() + "-pcm.wav");
  return "ffmpeg -i " + ShellQuoted(source) + " -c:a " + codec + " " +
         ShellQuoted(converted.string());
}

}  // namespace tavrel_tool
