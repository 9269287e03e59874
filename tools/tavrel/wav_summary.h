// A one-line description of a WAV file's audio, from its data chunk.
#pragma once

#include <string>

#include "wav_layout.h"

namespace tavrel_tool {

// "8000 Hz, 1 ch, 16 bit, 16000 frames, 2.000 s", or what the file is
// when it holds no WAV audio ("a FLAC file").
std::string DescribeWav(const WavReading& reading);

}  // namespace tavrel_tool
