// The paced capture PCM: an alsa-lib I/O plugin (ioplug) that behaves like
// a capture-only sound card without one. CaptureModel decides what has
// arrived; this layer reports it to alsa-lib as a hardware pointer, copies
// frames out of the FrameSource, and keeps a timerfd as the poll
// descriptor, armed for the moment the next read can be served. No thread.
#pragma once

#include <alsa/asoundlib.h>

#include "paced_options.h"

namespace paced_device {

// Opens the PCM for `stream` (capture only). 0, or a negative errno:
// -EINVAL for playback, -EBUSY when the lock is held, -errno of the file.
int OpenPacedPcm(snd_pcm_t** pcm, const char* name, snd_pcm_stream_t stream, int mode,
                 const PacedOptions& options);

}  // namespace paced_device
