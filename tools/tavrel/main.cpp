// tavrel: change the speed or the tempo of a PCM WAV file from the command line.
#include <cstdint>
#include <optional>
#include <string>

#include "change_speed.h"
#include "command_line.h"
#include "decimal_numbers.h"

int main(int argc, char** argv) {
  CLI::App app{
      "Writes DEST from the PCM WAV file SOURCE at SPEED percent (100 unchanged,\n"
      "below 100 slower, above 100 faster). The frames are resampled to about\n"
      "100/SPEED times as many and the declared sample rate is multiplied by\n"
      "SPEED/100; both act on playback, so at 200 a 2 s file lasts 0.5 s.\n"
      "SOURCE may hold other chunks, an extensible 'fmt ' chunk, an unknown\n"
      "data size or be RF64: its samples are then copied to a temporary\n"
      "canonical file beside DEST first. Float, A-law, u-law, ADPCM and other\n"
      "non-integer formats are refused with a conversion command. DEST is\n"
      "replaced only by a complete file. SOURCE - reads standard input and\n"
      "DEST - writes standard output; every message goes to standard error.\n"
      "With --keep-pitch the tempo changes and the pitch stays: the rate is\n"
      "kept and DEST holds SOURCE's frames x 100 / SPEED frames.",
      "tavrel"};
  app.set_version_flag("--version", "tavrel " TAVREL_VERSION);
  std::string source;
  std::string destination;
  std::int32_t speed = 100;
  bool asIs = false;
  app.add_option("SOURCE", source, "PCM WAV file to read, or - for standard input")->required();
  app.add_option("DEST", destination,
                 "WAV file to write (created or replaced), or - for standard output")->required();
  tool_support::AcceptDecimalInt32(app.add_option("SPEED", speed, "speed in percent, at least 1"))
      ->required();
  app.add_flag("--as-is", asIs,
               "hand SOURCE to the library untouched, as a host would: its first 44 bytes are "
               "the header and the rest is frames, whatever the file holds");
  bool keepPitch = false;
  app.add_flag("--keep-pitch", keepPitch,
               "change the tempo and keep the pitch (the library's ApplyTempoEffectToWav): the "
               "rate stays and the result plays 100/SPEED times as long");
  if (const std::optional<int> exitCode = tool_support::ParseCommandLine(app, argc, argv)) {
    return *exitCode;
  }
  return tavrel_tool::ChangeSpeed({source, destination, speed, asIs, keepPitch});
}
