#include "paced_options.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <string_view>

#include "frame_clock.h"

namespace paced_device {

namespace {

bool ParseWhole(std::string_view text, std::uint64_t& value) {
  if (text.empty()) {
    return false;
  }
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

// A whole number written either bare (offset 44) or quoted (offset "44").
bool ReadWhole(snd_config_t* node, std::uint64_t& value) {
  switch (snd_config_get_type(node)) {
    case SND_CONFIG_TYPE_INTEGER: {
      long number = 0;
      snd_config_get_integer(node, &number);
      if (number < 0) {
        return false;
      }
      value = static_cast<std::uint64_t>(number);
      return true;
    }
    case SND_CONFIG_TYPE_INTEGER64: {
      long long number = 0;
      snd_config_get_integer64(node, &number);
      if (number < 0) {
        return false;
      }
      value = static_cast<std::uint64_t>(number);
      return true;
    }
    case SND_CONFIG_TYPE_STRING: {
      const char* text = nullptr;
      snd_config_get_string(node, &text);
      return text != nullptr && ParseWhole(text, value);
    }
    default:
      return false;
  }
}

// alsa-lib reads "speed 0.5" as a real, "speed 10" as an integer and
// "speed "0.5"" as a string; all three mean the same.
bool ReadSpeed(snd_config_t* node, std::uint32_t& thousandths) {
  std::optional<std::uint32_t> parsed;
  switch (snd_config_get_type(node)) {
    case SND_CONFIG_TYPE_INTEGER:
    case SND_CONFIG_TYPE_INTEGER64: {
      std::uint64_t whole = 0;
      if (ReadWhole(node, whole) && whole <= kMaximumSpeedThousandths / 1000) {
        parsed = static_cast<std::uint32_t>(whole * 1000);
      }
      break;
    }
    case SND_CONFIG_TYPE_REAL: {
      double real = 0;
      snd_config_get_real(node, &real);
      const double scaled = real * 1000;
      const double rounded = std::round(scaled);
      if (std::isfinite(scaled) && std::fabs(scaled - rounded) < 1e-6 && rounded >= 1 &&
          rounded <= kMaximumSpeedThousandths) {
        parsed = static_cast<std::uint32_t>(rounded);
      }
      break;
    }
    case SND_CONFIG_TYPE_STRING: {
      const char* text = nullptr;
      snd_config_get_string(node, &text);
      if (text != nullptr) {
        parsed = ParseSpeedThousandths(text);
      }
      break;
    }
    default:
      break;
  }
  if (!parsed || *parsed == 0) {
    return false;
  }
  thousandths = *parsed;
  return true;
}

bool ReadPath(snd_config_t* node, std::string& path) {
  const char* text = nullptr;
  if (snd_config_get_string(node, &text) < 0 || text == nullptr || *text == '\0') {
    return false;
  }
  path = text;
  return true;
}

int Refuse(const char* key) {
  SNDERR("paced: invalid value for %s", key);
  return -EINVAL;
}

}  // namespace

std::optional<std::uint32_t> ParseSpeedThousandths(const std::string& text) {
  const std::string_view all(text);
  const std::size_t point = all.find('.');
  std::uint64_t whole = 0;
  std::uint64_t fraction = 0;
  if (!ParseWhole(all.substr(0, point), whole)) {
    return std::nullopt;
  }
  if (point != std::string_view::npos) {
    const std::string_view decimals = all.substr(point + 1);
    if (decimals.size() > 3 || !ParseWhole(decimals, fraction)) {
      return std::nullopt;
    }
    for (std::size_t digits = decimals.size(); digits < 3; ++digits) {
      fraction *= 10;
    }
  }
  if (whole > kMaximumSpeedThousandths / 1000) {
    return std::nullopt;
  }
  const std::uint64_t thousandths = whole * 1000 + fraction;
  if (thousandths == 0 || thousandths > kMaximumSpeedThousandths) {
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(thousandths);
}

int ParsePacedOptions(snd_config_t* definition, PacedOptions& options) {
  snd_config_iterator_t position;
  snd_config_iterator_t next;
  snd_config_for_each(position, next, definition) {
    snd_config_t* node = snd_config_iterator_entry(position);
    const char* id = nullptr;
    if (snd_config_get_id(node, &id) < 0 || id == nullptr) {
      continue;
    }
    const std::string_view key(id);
    if (key == "comment" || key == "type" || key == "hint") {
      continue;
    }
    if (key == "file") {
      if (!ReadPath(node, options.file)) {
        return Refuse(id);
      }
    } else if (key == "offset") {
      if (!ReadWhole(node, options.offset)) {
        return Refuse(id);
      }
    } else if (key == "loop") {
      const int loop = snd_config_get_bool(node);
      if (loop < 0) {
        return Refuse(id);
      }
      options.loop = loop != 0;
    } else if (key == "speed") {
      if (!ReadSpeed(node, options.speedThousandths)) {
        return Refuse(id);
      }
    } else if (key == "fail_after_frames") {
      std::uint64_t frames = 0;
      if (!ReadWhole(node, frames)) {
        return Refuse(id);
      }
      options.failAfterFrames = frames;
    } else if (key == "wake_until_frames") {
      std::uint64_t frames = 0;
      if (!ReadWhole(node, frames)) {
        return Refuse(id);
      }
      options.wakeUntilFrames = frames;
    } else if (key == "lock") {
      if (!ReadPath(node, options.lockPath)) {
        return Refuse(id);
      }
    } else if (key == "report") {
      if (!ReadPath(node, options.reportPath)) {
        return Refuse(id);
      }
    } else {
      SNDERR("paced: unknown option %s", id);
      return -EINVAL;
    }
  }
  return 0;
}

}  // namespace paced_device
