#include "paced_pcm.h"

#include <alsa/pcm_external.h>
#include <poll.h>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

#include "capture_model.h"
#include "device_lock.h"
#include "frame_source.h"
#include "paced_report.h"

namespace paced_device {

namespace {

constexpr std::uint64_t kDisarmed = std::numeric_limits<std::uint64_t>::max();

std::uint64_t NowMicroseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1000000 +
         static_cast<std::uint64_t>(now.tv_nsec) / 1000;
}

// alsa-lib calls start, stop, pointer and transfer with the PCM's own lock
// held, the others without it; the device's mutex covers them all.
class PacedPcm {
 public:
  explicit PacedPcm(const PacedOptions& options)
      : options_(options), model_(options.failAfterFrames, options.wakeUntilFrames) {}
  ~PacedPcm() {
    if (timer_ >= 0) {
      ::close(timer_);
    }
  }
  PacedPcm(const PacedPcm&) = delete;
  PacedPcm& operator=(const PacedPcm&) = delete;

  // Takes the lock, opens the file and the timer. 0 or -errno.
  int Acquire();
  // Hands the device to alsa-lib, which deletes it through the close
  // callback once it has been created there.
  static int Register(std::unique_ptr<PacedPcm> device, const char* name,
                      snd_pcm_stream_t stream, int mode, snd_pcm_t** pcm);

 private:
  static const snd_pcm_ioplug_callback_t kCallbacks;
  static PacedPcm& Of(snd_pcm_ioplug_t* io) { return *static_cast<PacedPcm*>(io->private_data); }

  int SetConstraints();
  int Start();
  int Stop();
  snd_pcm_sframes_t Pointer();
  snd_pcm_sframes_t Transfer(const snd_pcm_channel_area_t* areas, snd_pcm_uframes_t offset,
                             snd_pcm_uframes_t size);
  int HardwareParams();
  int SoftwareParams(snd_pcm_sw_params_t* params);
  int Prepare();
  int PollEvents(unsigned short* revents);
  void WriteReport();

  // Catches up with what the application did through alsa-lib: frames
  // consumed (reads, mmap commits, rewinds) and resets.
  void Synchronize(std::uint64_t now);
  // Tells alsa-lib about an overrun or a failure.
  void PublishState();
  // Arms the timer for the model's next wake-up.
  void Rearm();
  snd_pcm_sframes_t ReportPosition(std::uint64_t frames);

  PacedOptions options_;
  snd_pcm_ioplug_t io_{};
  DeviceLock lock_;
  FrameSource source_;
  int timer_ = -1;
  std::mutex mutex_;
  CaptureModel model_;
  unsigned frameBytes_ = 1;
  snd_pcm_uframes_t boundary_ = 1;
  snd_pcm_uframes_t lastApplication_ = 0;  // io_.appl_ptr when last seen
  snd_pcm_uframes_t reportedPosition_ = 0;  // what pointer last returned
  std::uint64_t armedMoment_ = kDisarmed;
};

const snd_pcm_ioplug_callback_t PacedPcm::kCallbacks = [] {
  snd_pcm_ioplug_callback_t callbacks{};
  callbacks.start = [](snd_pcm_ioplug_t* io) { return Of(io).Start(); };
  callbacks.stop = [](snd_pcm_ioplug_t* io) { return Of(io).Stop(); };
  callbacks.pointer = [](snd_pcm_ioplug_t* io) { return Of(io).Pointer(); };
  callbacks.transfer = [](snd_pcm_ioplug_t* io, const snd_pcm_channel_area_t* areas,
                          snd_pcm_uframes_t offset, snd_pcm_uframes_t size) {
    return Of(io).Transfer(areas, offset, size);
  };
  callbacks.close = [](snd_pcm_ioplug_t* io) {
    PacedPcm* device = &Of(io);
    device->WriteReport();
    delete device;
    return 0;
  };
  callbacks.hw_params = [](snd_pcm_ioplug_t* io, snd_pcm_hw_params_t*) {
    return Of(io).HardwareParams();
  };
  callbacks.sw_params = [](snd_pcm_ioplug_t* io, snd_pcm_sw_params_t* params) {
    return Of(io).SoftwareParams(params);
  };
  callbacks.prepare = [](snd_pcm_ioplug_t* io) { return Of(io).Prepare(); };
  // A capture drain stops at once; alsa-lib's own would wait for the ring
  // to fill.
  callbacks.drain = [](snd_pcm_ioplug_t*) { return 0; };
  callbacks.poll_revents = [](snd_pcm_ioplug_t* io, pollfd*, unsigned int,
                              unsigned short* revents) { return Of(io).PollEvents(revents); };
  return callbacks;
}();

int PacedPcm::Acquire() {
  if (!options_.lockPath.empty()) {
    if (const int error = lock_.Acquire(options_.lockPath); error < 0) {
      return error;
    }
  }
  if (!options_.file.empty()) {
    if (const int error = source_.OpenFile(options_.file, options_.offset, options_.loop);
        error < 0) {
      return error;
    }
  }
  timer_ = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  return timer_ >= 0 ? 0 : -errno;
}

int PacedPcm::Register(std::unique_ptr<PacedPcm> device, const char* name,
                       snd_pcm_stream_t stream, int mode, snd_pcm_t** pcm) {
  snd_pcm_ioplug_t& io = device->io_;
  io.version = SND_PCM_IOPLUG_VERSION;
  io.name = "Paced capture device";
  io.callback = &kCallbacks;
  io.private_data = device.get();
  io.poll_fd = device->timer_;
  io.poll_events = POLLIN;
  io.mmap_rw = 0;
  // The pointer counts up to alsa-lib's boundary rather than wrapping at
  // the ring's end: a full ring then still differs from an empty one.
  io.flags = SND_PCM_IOPLUG_FLAG_BOUNDARY_WA | SND_PCM_IOPLUG_FLAG_MONOTONIC;
  if (const int error = snd_pcm_ioplug_create(&io, name, stream, mode); error < 0) {
    return error;
  }
  PacedPcm* registered = device.release();
  if (const int error = registered->SetConstraints(); error < 0) {
    snd_pcm_ioplug_delete(&io);  // closes, which deletes the device
    return error;
  }
  *pcm = io.pcm;
  return 0;
}

int PacedPcm::SetConstraints() {
  static const unsigned int kAccesses[] = {SND_PCM_ACCESS_RW_INTERLEAVED,
                                           SND_PCM_ACCESS_MMAP_INTERLEAVED};
  static const unsigned int kFormats[] = {SND_PCM_FORMAT_U8, SND_PCM_FORMAT_S16_LE,
                                          SND_PCM_FORMAT_S24_3LE, SND_PCM_FORMAT_S32_LE,
                                          SND_PCM_FORMAT_FLOAT_LE};
  int error = snd_pcm_ioplug_set_param_list(&io_, SND_PCM_IOPLUG_HW_ACCESS, 2, kAccesses);
  if (error >= 0) {
    error = snd_pcm_ioplug_set_param_list(&io_, SND_PCM_IOPLUG_HW_FORMAT, 5, kFormats);
  }
  if (error >= 0) {
    error = snd_pcm_ioplug_set_param_minmax(&io_, SND_PCM_IOPLUG_HW_CHANNELS, 1, 2);
  }
  if (error >= 0) {
    error = snd_pcm_ioplug_set_param_minmax(&io_, SND_PCM_IOPLUG_HW_RATE, 1, kMaximumRate);
  }
  if (error >= 0) {
    error = snd_pcm_ioplug_set_param_minmax(&io_, SND_PCM_IOPLUG_HW_PERIOD_BYTES, 1, 16 << 20);
  }
  if (error >= 0) {
    error = snd_pcm_ioplug_set_param_minmax(&io_, SND_PCM_IOPLUG_HW_PERIODS, 2, 1024);
  }
  if (error >= 0) {
    error = snd_pcm_ioplug_set_param_minmax(&io_, SND_PCM_IOPLUG_HW_BUFFER_BYTES, 2, 64 << 20);
  }
  return error;
}

int PacedPcm::HardwareParams() {
  const std::lock_guard guard(mutex_);
  const int width = snd_pcm_format_physical_width(io_.format);
  if (width <= 0 || width % 8 != 0) {
    return -EINVAL;
  }
  frameBytes_ = static_cast<unsigned>(width / 8) * io_.channels;
  model_.Configure(FrameClock(io_.rate, options_.speedThousandths), io_.buffer_size,
                   io_.period_size);
  // alsa-lib's boundary, until the software parameters say it: the largest
  // power-of-two multiple of the ring that leaves room for one more ring.
  boundary_ = io_.buffer_size;
  while (boundary_ * 2 <= LONG_MAX - io_.buffer_size) {
    boundary_ *= 2;
  }
  return 0;
}

int PacedPcm::SoftwareParams(snd_pcm_sw_params_t* params) {
  const std::lock_guard guard(mutex_);
  snd_pcm_uframes_t availMin = 0;
  snd_pcm_uframes_t boundary = 0;
  if (snd_pcm_sw_params_get_avail_min(params, &availMin) == 0) {
    model_.SetAvailMin(availMin);
  }
  if (snd_pcm_sw_params_get_boundary(params, &boundary) == 0 && boundary > 0) {
    boundary_ = boundary;
  }
  Rearm();
  return 0;
}

int PacedPcm::Prepare() {
  const std::lock_guard guard(mutex_);
  // alsa-lib has already set both pointers to 0. On hardware a prepare
  // throws away what the ring held; the source goes on where it stopped.
  model_.Advance(NowMicroseconds());
  if (model_.state() == CaptureModel::State::kFailed) {
    PublishState();
    return -ENODEV;
  }
  model_.EndRun();
  lastApplication_ = 0;
  reportedPosition_ = 0;
  Rearm();
  return 0;
}

int PacedPcm::Start() {
  const std::lock_guard guard(mutex_);
  if (!model_.Start(NowMicroseconds())) {
    return -ENODEV;
  }
  Rearm();
  return 0;
}

int PacedPcm::Stop() {
  const std::lock_guard guard(mutex_);
  const std::uint64_t now = NowMicroseconds();
  Synchronize(now);
  model_.Stop(now);
  Rearm();
  return 0;
}

snd_pcm_sframes_t PacedPcm::Pointer() {
  const std::lock_guard guard(mutex_);
  Synchronize(NowMicroseconds());
  PublishState();
  Rearm();
  switch (model_.state()) {
    case CaptureModel::State::kOverrun:
      return -EPIPE;
    case CaptureModel::State::kFailed:
      // Keep alsa-lib's view of the ring from overflowing; nothing of it
      // can be read anyway.
      return ReportPosition(
          std::min(model_.arrived(), model_.consumed() + model_.ringFrames()));
    default:
      return ReportPosition(model_.arrived());
  }
}

snd_pcm_sframes_t PacedPcm::Transfer(const snd_pcm_channel_area_t* areas,
                                     snd_pcm_uframes_t offset, snd_pcm_uframes_t size) {
  const std::lock_guard guard(mutex_);
  Synchronize(NowMicroseconds());
  PublishState();
  if (model_.state() == CaptureModel::State::kFailed) {
    return -ENODEV;
  }
  if (model_.state() == CaptureModel::State::kOverrun) {
    return -EPIPE;
  }
  // alsa-lib asks only for frames that the pointer reported; the model may
  // have more by now, never fewer.
  size = static_cast<snd_pcm_uframes_t>(
      std::min<std::uint64_t>(size, model_.arrived() - model_.consumed()));
  // Interleaved access: channel 0's area walks whole frames.
  auto* destination = static_cast<std::uint8_t*>(areas[0].addr) + areas[0].first / 8 +
                      offset * (areas[0].step / 8);
  if (const int error = source_.Fill(model_.NextSourceFrame(), size, frameBytes_, destination);
      error < 0) {
    return error;
  }
  // A read moves the application pointer by what this returns; with mmap
  // access the commit that follows moves it, and Synchronize sees that.
  if (io_.access == SND_PCM_ACCESS_RW_INTERLEAVED) {
    model_.Consume(static_cast<std::int64_t>(size));
    lastApplication_ = (lastApplication_ + size) % boundary_;
  }
  Rearm();
  return static_cast<snd_pcm_sframes_t>(size);
}

int PacedPcm::PollEvents(unsigned short* revents) {
  const std::lock_guard guard(mutex_);
  // Runs outside alsa-lib's lock, so it leaves alsa-lib's pointers alone:
  // consumption is as of the last read or pointer call, which alsa-lib
  // makes before it waits.
  model_.Advance(NowMicroseconds());
  // alsa-lib turns POLLERR into the error of the PCM's state, so the
  // state has to say what went wrong first.
  PublishState();
  unsigned short events = 0;
  if (model_.Readable()) {
    events |= POLLIN;
  }
  if (model_.InError()) {
    events |= POLLERR;
  }
  *revents = events;
  Rearm();
  return 0;
}

void PacedPcm::WriteReport() {
  if (options_.reportPath.empty()) {
    return;
  }
  CaptureCounts counts;
  {
    const std::lock_guard guard(mutex_);
    counts = model_.Counts();
  }
  // alsa-lib ignores what close returns; a test sees a missing report.
  WriteCaptureReport(options_.reportPath, counts);
}

void PacedPcm::Synchronize(std::uint64_t now) {
  // snd_pcm_reset sets alsa-lib's pointers to 0 without telling the plugin.
  if (io_.hw_ptr != reportedPosition_) {
    model_.Reset(now);
    lastApplication_ = io_.appl_ptr;
    reportedPosition_ = io_.hw_ptr;
  }
  const snd_pcm_uframes_t application = io_.appl_ptr;
  const snd_pcm_uframes_t forward = (application + boundary_ - lastApplication_) % boundary_;
  if (forward <= boundary_ / 2) {
    model_.Consume(static_cast<std::int64_t>(forward));
  } else {
    model_.Consume(-static_cast<std::int64_t>(boundary_ - forward));
  }
  lastApplication_ = application;
  model_.Advance(now);
}

void PacedPcm::PublishState() {
  if (model_.state() == CaptureModel::State::kFailed) {
    snd_pcm_ioplug_set_state(&io_, SND_PCM_STATE_DISCONNECTED);
  } else if (model_.state() == CaptureModel::State::kOverrun &&
             (io_.state == SND_PCM_STATE_RUNNING || io_.state == SND_PCM_STATE_DRAINING)) {
    snd_pcm_ioplug_set_state(&io_, SND_PCM_STATE_XRUN);
  }
}

void PacedPcm::Rearm() {
  const std::optional<std::uint64_t> wake = model_.WakeMoment();
  // 0 would disarm the timer; any past moment makes it readable at once.
  const std::uint64_t moment = wake ? std::max<std::uint64_t>(*wake, 1) : kDisarmed;
  if (moment == armedMoment_) {
    return;
  }
  itimerspec when{};
  if (moment != kDisarmed) {
    when.it_value.tv_sec = static_cast<time_t>(moment / 1000000);
    when.it_value.tv_nsec = static_cast<long>(moment % 1000000 * 1000);
  }
  if (::timerfd_settime(timer_, TFD_TIMER_ABSTIME, &when, nullptr) == 0) {
    armedMoment_ = moment;
  }
}

snd_pcm_sframes_t PacedPcm::ReportPosition(std::uint64_t frames) {
  reportedPosition_ = static_cast<snd_pcm_uframes_t>(frames % boundary_);
  return static_cast<snd_pcm_sframes_t>(reportedPosition_);
}

}  // namespace

int OpenPacedPcm(snd_pcm_t** pcm, const char* name, snd_pcm_stream_t stream, int mode,
                 const PacedOptions& options) {
  if (stream != SND_PCM_STREAM_CAPTURE) {
    SNDERR("paced: the device only captures");
    return -EINVAL;
  }
  auto device = std::make_unique<PacedPcm>(options);
  if (const int error = device->Acquire(); error < 0) {
    return error;
  }
  return PacedPcm::Register(std::move(device), name, stream, mode, pcm);
}

}  // namespace paced_device
