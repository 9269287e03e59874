// The entry point alsa-lib looks for when a PCM definition says
// "type paced": _snd_pcm_paced_open, beside the symbol that tells its
// plugin interface version.
#include <alsa/asoundlib.h>
#include <alsa/pcm_external.h>

#include <cerrno>
#include <new>

#include "paced_options.h"
#include "paced_pcm.h"

extern "C" {
#pragma GCC visibility push(default)

SND_PCM_PLUGIN_DEFINE_FUNC(paced) {
  (void)root;
  try {
    paced_device::PacedOptions options;
    if (const int error = paced_device::ParsePacedOptions(conf, options); error < 0) {
      return error;
    }
    return paced_device::OpenPacedPcm(pcmp, name, stream, mode, options);
  } catch (const std::bad_alloc&) {
    return -ENOMEM;
  }
}

SND_PCM_PLUGIN_SYMBOL(paced)

#pragma GCC visibility pop
}
