// tavrel: change the speed of a PCM WAV file from the command line.
#include <CLI/CLI.hpp>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "tavrel.h"
#include "utf16_argument.h"
#include "wav_summary.h"

namespace {

std::string Explain(std::int32_t status, const std::string& source, const std::string& destination) {
  switch (status) {
    case TAVREL_ERROR_SPEED:
      return "the speed must be at least 1 (percent)";
    case TAVREL_ERROR_SOURCE:
      return "cannot open the source '" + source + "': it is missing, unreadable or a directory";
    case TAVREL_ERROR_DESTINATION:
      return "cannot create the destination '" + destination +
             "': its folder is missing, it is not writable, or it is the source itself";
    case TAVREL_ERROR_SHORT_HEADER:
      return "the source '" + source + "' is shorter than a 44-byte WAV header";
    case TAVREL_ERROR_NO_MEMORY:
      return "not enough memory for the work buffers at this speed";
    case TAVREL_ERROR_UNSUPPORTED:
      return "the source's header cannot be processed at this speed: its frames are narrower "
             "than their samples, or the scaled rate would not fit 32 bits";
    case TAVREL_ERROR_IO:
      return "reading the source or writing the destination failed (is the disk full?); '" +
             destination + "' is incomplete";
    default:
      return "unexpected status " + std::to_string(status);
  }
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "Writes DEST from the PCM WAV file SOURCE at SPEED percent (100 unchanged,\n"
      "below 100 slower, above 100 faster). The frames are resampled to about\n"
      "100/SPEED times as many and the declared sample rate is multiplied by\n"
      "SPEED/100; both act on playback, so at 200 a 2 s file lasts 0.5 s.",
      "tavrel"};
  app.set_version_flag("--version", "tavrel " TAVREL_VERSION);
  std::string source;
  std::string destination;
  std::int32_t speed = 100;
  app.add_option("SOURCE", source, "PCM WAV file to read")->required();
  app.add_option("DEST", destination, "WAV file to write (created or replaced)")->required();
  app.add_option("SPEED", speed, "speed in percent, at least 1")->required();
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    const int code = app.exit(error);
    return error.get_exit_code() == 0 ? code : 2;
  }

  const auto wideSource = tool_support::Utf16Argument(source);
  const auto wideDestination = tool_support::Utf16Argument(destination);
  if (!wideSource || !wideDestination) {
    std::fprintf(stderr, "tavrel: paths must be valid UTF-8\n");
    return 2;
  }
  const std::int32_t status =
      ApplySpeedEffectToWav(wideSource->c_str(), wideDestination->c_str(), speed);
  if (status != TAVREL_SUCCESS) {
    std::fprintf(stderr, "tavrel: %s\n", Explain(status, source, destination).c_str());
    return 1;
  }
  const auto before = tavrel_tool::SummariseWav(source);
  const auto after = tavrel_tool::SummariseWav(destination);
  if (before && after) {
    std::printf("%s: %s -> %s: %s (speed %d%%)\n", source.c_str(),
                tavrel_tool::Describe(*before).c_str(), destination.c_str(),
                tavrel_tool::Describe(*after).c_str(), speed);
  }
  return 0;
}
