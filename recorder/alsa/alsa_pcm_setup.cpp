#include "alsa_pcm_setup.h"

#include <cstdarg>
#include <cstdint>

// alsa-lib 1.2.8's error.h declares snd_lib_error_set_local after closing its
// extern "C" block, so C++ would look for a mangled name. This declares the C
// symbol under a name of our own.
extern "C" snd_local_error_handler_t SetThreadAlsaErrorHandler(snd_local_error_handler_t handler)
    __asm__("snd_lib_error_set_local");

namespace orlesk {

namespace {

void IgnoreAlsaError(const char*, int, const char*, int, const char*, va_list) {}

bool SampleFormatFor(std::int32_t bitsPerSample, snd_pcm_format_t& format) {
  switch (bitsPerSample) {
    case 8: format = SND_PCM_FORMAT_U8; return true;
    case 16: format = SND_PCM_FORMAT_S16_LE; return true;
    case 24: format = SND_PCM_FORMAT_S24_3LE; return true;
    case 32: format = SND_PCM_FORMAT_S32_LE; return true;
    default: return false;
  }
}

// The ring buffer holds at least 500 ms, so that a capture thread the
// scheduler keeps waiting loses nothing, and as little more as the device
// allows: at stop the thread reads what the ring holds, and a plugin that
// always claims a full ring (the null and file plugins) would otherwise be
// read for a long time. Periods of about 100 ms match the reports.
bool ConfigureHardware(snd_pcm_t* pcm, snd_pcm_format_t sampleFormat, unsigned rate) {
  snd_pcm_hw_params_t* params = nullptr;
  snd_pcm_hw_params_alloca(&params);
  snd_pcm_uframes_t minimumBuffer = (rate + 1) / 2;
  snd_pcm_uframes_t buffer = minimumBuffer;
  unsigned periodMicroseconds = 100000;
  int direction = 0;
  return snd_pcm_hw_params_any(pcm, params) >= 0 &&
         snd_pcm_hw_params_set_access(pcm, params, SND_PCM_ACCESS_RW_INTERLEAVED) == 0 &&
         snd_pcm_hw_params_set_format(pcm, params, sampleFormat) == 0 &&
         snd_pcm_hw_params_set_channels(pcm, params, 1) == 0 &&
         snd_pcm_hw_params_set_rate_resample(pcm, params, 1) == 0 &&
         snd_pcm_hw_params_set_rate(pcm, params, rate, 0) == 0 &&
         snd_pcm_hw_params_set_buffer_size_min(pcm, params, &minimumBuffer) == 0 &&
         snd_pcm_hw_params_set_buffer_size_near(pcm, params, &buffer) == 0 &&
         snd_pcm_hw_params_set_period_time_near(pcm, params, &periodMicroseconds, &direction) ==
             0 &&
         snd_pcm_hw_params(pcm, params) == 0;
}

}  // namespace

SilentAlsaErrors::SilentAlsaErrors() : previous_(SetThreadAlsaErrorHandler(&IgnoreAlsaError)) {}

SilentAlsaErrors::~SilentAlsaErrors() { SetThreadAlsaErrorHandler(previous_); }

CapturePcm OpenCapturePcm(const CaptureFormat& format) {
  snd_pcm_format_t sampleFormat{};
  if (format.sampleRate <= 0 || format.channels != 1 ||
      !SampleFormatFor(format.bitsPerSample, sampleFormat)) {
    return {};
  }
  snd_pcm_t* opened = nullptr;
  if (snd_pcm_open(&opened, "default", SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK) < 0) {
    return {};
  }
  CapturePcm capture;
  capture.pcm.reset(opened);
  const auto rate = static_cast<unsigned>(format.sampleRate);
  snd_pcm_uframes_t bufferFrames = 0;
  snd_pcm_uframes_t periodFrames = 0;
  if (!ConfigureHardware(opened, sampleFormat, rate) ||
      snd_pcm_get_params(opened, &bufferFrames, &periodFrames) < 0 ||
      bufferFrames < (rate + 1) / 2 || snd_pcm_prepare(opened) < 0) {
    return {};
  }
  capture.frameBytes = static_cast<unsigned>(snd_pcm_format_physical_width(sampleFormat) / 8);
  capture.ringFrames = bufferFrames;
  capture.periodMilliseconds =
      static_cast<int>(std::uint64_t{periodFrames} * 1000 / rate) + 1;
  return capture;
}

}  // namespace orlesk
