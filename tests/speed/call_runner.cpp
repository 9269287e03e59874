// Runs one ApplySpeedEffectToWav call (ApplyTempoEffectToWav with "tempo")
// in a process of its own, so that a test can inject faults into its system
// calls:
//   tavrel_call_runner SOURCE DESTINATION SPEED [tempo]
// The exit status is 0 for success and the call's status otherwise (an exit
// status has 8 bits; every other status fits). It prints nothing.
#include <cstdlib>
#include <string>

#include "tavrel.h"
#include "test_files.h"

int main(int argc, char** argv) {
  if (argc != 4 && !(argc == 5 && std::string(argv[4]) == "tempo")) {
    return 255;
  }
  const auto apply = argc == 5 ? ApplyTempoEffectToWav : ApplySpeedEffectToWav;
  const std::int32_t status =
      apply(test_support::Utf16Path(argv[1]).c_str(), test_support::Utf16Path(argv[2]).c_str(),
            static_cast<std::int32_t>(std::strtol(argv[3], nullptr, 10)));
  return status == TAVREL_SUCCESS ? 0 : status;
}
