// Opening the paced device in a test, with a configuration of the test's
// own (not the process's global one, so each test can have its own), and
// reading from it.
#pragma once

#include <alsa/asoundlib.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "paced_device.h"
#include "test_files.h"

namespace paced_test {

using test_support::Bytes;
using test_support::NoiseBytes;
using test_support::ScratchFolder;

inline const std::filesystem::path kPluginPath = PACED_PLUGIN_PATH;

struct PcmCloser {
  void operator()(snd_pcm_t* pcm) const { snd_pcm_close(pcm); }
};
using PcmHandle = std::unique_ptr<snd_pcm_t, PcmCloser>;

// Writes the device's configuration into `folder` and opens its PCM for
// capture. 0 or alsa-lib's error.
int OpenPacedDevice(const std::filesystem::path& folder,
                    const paced_device::PacedDeviceOptions& options, PcmHandle& pcm,
                    int mode = 0);

// Opens the PCM `name` from the configuration file `config`, for capture
// unless `stream` says otherwise.
int OpenFromConfig(const std::filesystem::path& config, const std::string& name, PcmHandle& pcm,
                   int mode = 0, snd_pcm_stream_t stream = SND_PCM_STREAM_CAPTURE);

struct StreamSetup {
  snd_pcm_format_t format = SND_PCM_FORMAT_S16_LE;
  unsigned channels = 1;
  unsigned rate = 8000;
  snd_pcm_uframes_t ringFrames = 800;
  snd_pcm_uframes_t periodFrames = 200;
  snd_pcm_access_t access = SND_PCM_ACCESS_RW_INTERLEAVED;
};

// Sets exactly these hardware parameters. 0 or alsa-lib's error.
int Configure(snd_pcm_t* pcm, const StreamSetup& setup);

unsigned FrameBytes(const StreamSetup& setup);

// Reads `frames` frames, blocking, with readi (or mmap_readi under mmap
// access). Stops at the first error and leaves it in `error` (else 0).
Bytes ReadFrames(snd_pcm_t* pcm, const StreamSetup& setup, std::size_t frames,
                 long* error = nullptr);

using paced_device::CounterFrames;
using paced_device::CounterOf;

}  // namespace paced_test
