#include "paced_test_support.h"

namespace paced_test {

int OpenFromConfig(const std::filesystem::path& config, const std::string& name, PcmHandle& pcm,
                   int mode, snd_pcm_stream_t stream) {
  snd_config_t* top = nullptr;
  snd_input_t* input = nullptr;
  int error = snd_config_top(&top);
  if (error < 0) {
    return error;
  }
  error = snd_input_stdio_open(&input, config.c_str(), "r");
  if (error == 0) {
    error = snd_config_load(top, input);
    snd_input_close(input);
  }
  snd_pcm_t* opened = nullptr;
  if (error == 0) {
    error = snd_pcm_open_lconf(&opened, name.c_str(), stream, mode, top);
  }
  snd_config_delete(top);
  if (error == 0) {
    pcm.reset(opened);
  }
  return error;
}

int OpenPacedDevice(const std::filesystem::path& folder,
                    const paced_device::PacedDeviceOptions& options, PcmHandle& pcm, int mode) {
  const std::filesystem::path config =
      paced_device::WritePacedDeviceConfig(folder, kPluginPath, options);
  return OpenFromConfig(config, options.pcmName, pcm, mode);
}

int Configure(snd_pcm_t* pcm, const StreamSetup& setup) {
  snd_pcm_hw_params_t* params = nullptr;
  snd_pcm_hw_params_alloca(&params);
  snd_pcm_uframes_t period = setup.periodFrames;
  snd_pcm_uframes_t ring = setup.ringFrames;
  int error = snd_pcm_hw_params_any(pcm, params);
  if (error >= 0) error = snd_pcm_hw_params_set_access(pcm, params, setup.access);
  if (error >= 0) error = snd_pcm_hw_params_set_format(pcm, params, setup.format);
  if (error >= 0) error = snd_pcm_hw_params_set_channels(pcm, params, setup.channels);
  if (error >= 0) error = snd_pcm_hw_params_set_rate(pcm, params, setup.rate, 0);
  if (error >= 0) error = snd_pcm_hw_params_set_period_size(pcm, params, period, 0);
  if (error >= 0) error = snd_pcm_hw_params_set_buffer_size(pcm, params, ring);
  if (error >= 0) error = snd_pcm_hw_params(pcm, params);
  if (error >= 0) error = snd_pcm_prepare(pcm);
  return error < 0 ? error : 0;
}

unsigned FrameBytes(const StreamSetup& setup) {
  return static_cast<unsigned>(snd_pcm_format_physical_width(setup.format) / 8) *
         setup.channels;
}

Bytes ReadFrames(snd_pcm_t* pcm, const StreamSetup& setup, std::size_t frames, long* error) {
  const unsigned frameBytes = FrameBytes(setup);
  Bytes bytes(frames * frameBytes);
  std::size_t done = 0;
  long failure = 0;
  while (done < frames) {
    void* into = bytes.data() + done * frameBytes;
    const snd_pcm_uframes_t wanted = frames - done;
    const snd_pcm_sframes_t got = setup.access == SND_PCM_ACCESS_MMAP_INTERLEAVED
                                      ? snd_pcm_mmap_readi(pcm, into, wanted)
                                      : snd_pcm_readi(pcm, into, wanted);
    if (got == -EAGAIN) {
      snd_pcm_wait(pcm, 1000);
      continue;
    }
    if (got < 0) {
      failure = got;
      break;
    }
    done += static_cast<std::size_t>(got);
  }
  bytes.resize(done * frameBytes);
  if (error != nullptr) {
    *error = failure;
  }
  return bytes;
}

}  // namespace paced_test
