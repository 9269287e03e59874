// tavrel: change the speed of a PCM WAV file from the command line.
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "command_line.h"
#include "decimal_numbers.h"
#include "tavrel.h"
#include "utf16_argument.h"
#include "wav_summary.h"

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
  tool_support::AcceptDecimalInt32(app.add_option("SPEED", speed, "speed in percent, at least 1"))
      ->required();
  if (const std::optional<int> exitCode = tool_support::ParseCommandLine(app, argc, argv)) {
    return *exitCode;
  }

  const auto wideSource = tool_support::Utf16Argument(source);
  const auto wideDestination = tool_support::Utf16Argument(destination);
  if (!wideSource || !wideDestination) {
    std::fprintf(stderr, "tavrel: paths must be valid UTF-8\n");
    return tool_support::kExitUsage;
  }
  const std::int32_t status =
      ApplySpeedEffectToWav(wideSource->c_str(), wideDestination->c_str(), speed);
  if (status != TAVREL_SUCCESS) {
    std::fprintf(stderr, "tavrel: '%s' -> '%s': %s\n", source.c_str(), destination.c_str(),
                 TavrelStatusMessage(status));
    return tool_support::kExitFailure;
  }
  const auto before = tavrel_tool::SummariseWav(source);
  const auto after = tavrel_tool::SummariseWav(destination);
  if (before && after) {
    std::printf("%s: %s -> %s: %s (speed %d%%)\n", source.c_str(),
                tavrel_tool::Describe(*before).c_str(), destination.c_str(),
                tavrel_tool::Describe(*after).c_str(), speed);
  }
  return tool_support::kExitSuccess;
}
