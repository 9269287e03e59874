#include "riff_images.h"

namespace riff_images {

namespace {

void Append(Bytes& bytes, std::uint64_t value, int width) {
  for (int i = 0; i < width; ++i) {
    bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  }
}

void AppendText(Bytes& bytes, const std::string& text) {
  bytes.insert(bytes.end(), text.begin(), text.end());
}

}  // namespace

Bytes Chunk(const std::string& id, const Bytes& body, std::optional<std::uint32_t> declaredSize,
            bool pad) {
  Bytes chunk;
  AppendText(chunk, id);
  Append(chunk, declaredSize.value_or(static_cast<std::uint32_t>(body.size())), 4);
  chunk.insert(chunk.end(), body.begin(), body.end());
  if (pad && body.size() % 2 == 1) {
    chunk.push_back(0);
  }
  return chunk;
}

Bytes FormatBody(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate,
                 std::uint16_t bits) {
  const std::uint32_t blockAlign = channels * ((bits + 7u) / 8u);
  Bytes body;
  Append(body, tag, 2);
  Append(body, channels, 2);
  Append(body, rate, 4);
  Append(body, rate * blockAlign, 4);
  Append(body, blockAlign, 2);
  Append(body, bits, 2);
  return body;
}

Bytes ExtensibleFormatBody(std::uint16_t subformat, std::uint16_t channels, std::uint32_t rate,
                           std::uint16_t bits) {
  Bytes body = FormatBody(0xFFFE, channels, rate, bits);
  Append(body, 22, 2);    // the extension's size
  Append(body, bits, 2);  // valid bits
  Append(body, 0, 4);     // channel mask
  Append(body, subformat, 2);
  for (const int byte :
       {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}) {
    body.push_back(static_cast<std::uint8_t>(byte));
  }
  return body;
}

Bytes RiffFile(const std::vector<Bytes>& chunks, const std::string& riffId) {
  const Bytes all = Concat(chunks);
  Bytes file;
  AppendText(file, riffId);
  Append(file, riffId == "RIFF" ? all.size() + 4 : 0xFFFFFFFFu, 4);
  AppendText(file, "WAVE");
  file.insert(file.end(), all.begin(), all.end());
  return file;
}

Bytes Concat(const std::vector<Bytes>& parts) {
  Bytes all;
  for (const Bytes& part : parts) {
    all.insert(all.end(), part.begin(), part.end());
  }
  return all;
}

}  // namespace riff_images
