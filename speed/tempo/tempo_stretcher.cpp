#include "tempo_stretcher.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace tavrel::tempo {

namespace {

constexpr std::int32_t kUnchangedSpeed = 100;

// A buffer of `count` values, or false when it cannot be had (or its size
// does not even fit the address space, as on 32-bit hosts).
template <typename T>
bool AllocateValues(std::unique_ptr<T[]>& buffer, std::uint64_t count) {
  buffer.reset();
  if (count > std::numeric_limits<std::ptrdiff_t>::max() / sizeof(T)) {
    return false;
  }
  buffer.reset(new (std::nothrow) T[static_cast<std::size_t>(count)]);
  return buffer != nullptr;
}

}  // namespace

TempoStretcher::Setup TempoStretcher::Configure(const TempoFormat& format, std::int32_t speed,
                                                const TempoTimings& timings) {
  *this = TempoStretcher();
  if (!IsUsableFormat(format)) {
    return Setup::kUnusableFormat;
  }
  if (speed < 1) {
    return Setup::kSpeedBelowOne;
  }
  format_ = format;
  plan_ = MakeTempoPlan(format, timings);
  speed_ = speed;
  if (speed != kUnchangedSpeed) {
    const std::uint64_t sequence = plan_.sequence;
    const std::uint64_t overlap = plan_.overlap;
    const std::uint64_t channels = format.channels;
    // A piece is made once the input reaches search + sequence + overlap
    // past its nominal start, and needs it from one frame more than that
    // before (a start pulled back at the end, and the frame before it):
    // that much is held while input arrives. Finish adds sequence + overlap
    // frames of silence, and as much room again lets the window move to the
    // front only now and then.
    // The plan keeps each length below a second at 384 kHz: these fit a
    // 32-bit size.
    windowLimit_ = 2u * (std::size_t{plan_.search} + plan_.sequence + plan_.overlap) + 1u;
    bufferFrames_ = 2u * windowLimit_ + plan_.sequence + plan_.overlap;
    // Hundreds of channels at a high rate would ask for gigabytes: refused
    // as memory that cannot be had, before any is asked for.
    if (bufferFrames_ * channels > kMostWindowSamples) {
      *this = TempoStretcher();
      return Setup::kNoMemory;
    }
    if (!AllocateValues(windowSamples_, bufferFrames_ * channels) ||
        !AllocateValues(windowGuide_, bufferFrames_ * plan_.guideLanes) ||
        !AllocateValues(continuation_, (overlap + 1) * channels) ||
        !AllocateValues(continuationGuide_, overlap * plan_.guideLanes) ||
        !AllocateValues(piece_, sequence * channels) || !search_.Allocate(plan_) ||
        !fade_.Allocate(plan_.overlap, format.channels, format.bitsPerSample)) {
      *this = TempoStretcher();
      return Setup::kNoMemory;
    }
  }
  ready_ = true;
  return Setup::kReady;
}

std::size_t TempoStretcher::reservedBytes() const {
  if (!ready_ || speed_ == kUnchangedSpeed) {
    return 0;
  }
  const std::size_t channels = format_.channels;
  const std::size_t guideBytes = plan_.guideLanes * sizeof(std::int16_t);
  return bufferFrames_ * (channels * sizeof(std::int32_t) + guideBytes) +
         (plan_.overlap + 1) * channels * sizeof(std::int32_t) + plan_.overlap * guideBytes +
         plan_.sequence * channels * sizeof(std::int32_t) + search_.reservedBytes() +
         fade_.reservedBytes(format_.channels);
}

bool TempoStretcher::Push(const std::int32_t* samples, std::size_t frames, FrameSink& sink) {
  if (!ready_ || finished_ || failed_) {
    return false;
  }
  if (speed_ == kUnchangedSpeed) {
    received_ += frames;
    emitted_ += frames;
    failed_ = frames > 0 && !sink.Take(samples, frames);
    return !failed_;
  }
  const std::size_t channels = format_.channels;
  while (frames > 0) {
    std::size_t count = 0;
    if (received_ < keepFrom_) {
      // No piece reads these.
      count = static_cast<std::size_t>(std::min<std::uint64_t>(frames, keepFrom_ - received_));
      windowStart_ = received_ + count;
    } else {
      count = std::min(frames, windowLimit_ - windowCount_);
      Store(samples, count);
    }
    received_ += count;
    samples += count * channels;
    frames -= count;
    if (!Advance(sink)) {
      return false;
    }
  }
  return true;
}

bool TempoStretcher::Finish(FrameSink& sink) {
  if (!ready_ || finished_ || failed_) {
    return false;
  }
  finished_ = true;
  total_ = TempoOutputFrames(received_, speed_);
  if (speed_ == kUnchangedSpeed) {
    return true;
  }
  // Pieces near the end may read up to sequence + overlap frames past it.
  AppendSilence(plan_.sequence + plan_.overlap);
  return Advance(sink);
}

bool TempoStretcher::Advance(FrameSink& sink) {
  const std::size_t channels = format_.channels;
  const TempoPlan& plan = plan_;
  for (;;) {
    if (pieceFirst_ < pieceEnd_) {
      const std::uint64_t limit = finished_ ? total_ : TempoOutputFrames(received_, speed_);
      if (limit <= emitted_) {
        return true;
      }
      const auto count = static_cast<std::size_t>(
          std::min<std::uint64_t>(pieceEnd_ - pieceFirst_, limit - emitted_));
      if (!sink.Take(piece_.get() + pieceFirst_ * channels, count)) {
        failed_ = true;
        return false;
      }
      emitted_ += count;
      pieceFirst_ += count;
      if (pieceFirst_ < pieceEnd_) {
        return true;
      }
    }
    if (finished_) {
      if (nextPiece_ * plan.sequence >= total_) {
        return true;
      }
    } else if (received_ <
               NominalStart(nextPiece_) + plan.search + plan.sequence + plan.overlap) {
      return true;
    }
    MakePiece();
  }
}

std::uint64_t TempoStretcher::NominalStart(std::uint64_t piece) const {
  // piece × sequence stays near the output's length, so the product with
  // the speed fits 64 bits for any input below 2^56 frames.
  return piece * plan_.sequence * static_cast<std::uint64_t>(speed_) / 100u;
}

void TempoStretcher::MakePiece() {
  const std::size_t channels = format_.channels;
  const std::uint64_t piece = nextPiece_;
  const std::uint64_t nominal = NominalStart(piece);
  const std::uint32_t overlap = plan_.overlap;
  const std::uint32_t sequence = plan_.sequence;

  std::uint64_t start = 0;
  if (piece > 0) {
    std::uint64_t first = nominal > plan_.search ? nominal - plan_.search : 0;
    std::uint64_t last = nominal + plan_.search;
    if (finished_) {
      // What this piece copies, and unless it is the last its
      // continuation, should lie within the input. While input arrives this
      // never binds: a piece waits for frames well past these. Where it
      // binds, the search keeps its width below that ceiling, as far back
      // as the window reaches, so that the piece still lines up with the
      // one before. The ceiling is never below the window's reach (the
      // input holds at least `needed` frames past nominal − sequence −
      // overlap); the max only makes that plain.
      const std::uint64_t end = (piece + 1) * sequence;
      const std::uint64_t needed = end < total_ ? sequence + overlap : total_ - piece * sequence;
      const std::uint64_t ceiling = received_ > needed ? received_ - needed : 0;
      if (ceiling < last) {
        const std::uint64_t reach = plan_.search + sequence + overlap;
        const std::uint64_t floor = nominal > reach ? nominal - reach : 0;
        last = std::max(ceiling, floor);
        first = std::max(floor, last > 2u * plan_.search ? last - 2u * plan_.search : 0);
      }
    }
    const auto starts = static_cast<std::uint32_t>(last - first + 1);
    start = first + search_.BestStart(continuationGuide_.get(), GuideAt(first), starts,
                                      static_cast<std::int64_t>(nominal - first));
  }

  const std::int32_t* input = SamplesAt(start);
  std::int32_t* output = piece_.get();
  std::size_t copied = 0;
  if (piece > 0) {
    const std::int32_t* before = start > 0 ? input - channels : input;
    fade_.Blend(continuation_.get(), before, input, format_.channels, output);
    copied = overlap;
  }
  std::memcpy(output + copied * channels, input + copied * channels,
              (sequence - copied) * channels * sizeof(std::int32_t));
  // The piece's last frame, then what would have followed it.
  std::memcpy(continuation_.get(), input + (std::size_t{sequence} - 1) * channels,
              (std::size_t{overlap} + 1) * channels * sizeof(std::int32_t));
  std::memcpy(continuationGuide_.get(), GuideAt(start + sequence),
              std::size_t{overlap} * plan_.guideLanes * sizeof(std::int16_t));
  pieceFirst_ = 0;
  pieceEnd_ = sequence;
  ++nextPiece_;

  // The next piece reads from its nominal start less search + sequence +
  // overlap (a start pulled back at the end), and the frame before that.
  const std::uint64_t reach = plan_.search + sequence + overlap + 1u;
  const std::uint64_t nextNominal = NominalStart(nextPiece_);
  keepFrom_ = nextNominal > reach ? nextNominal - reach : 0;
  DropBefore(keepFrom_);
}

void TempoStretcher::Store(const std::int32_t* samples, std::size_t frames) {
  MakeRoom(frames);
  const std::size_t at = head_ + windowCount_;
  const std::size_t channels = format_.channels;
  // Samples outside the depth's range are clamped to it here, once, so
  // that the guide and the fade may rely on the range.
  const std::int32_t lowest = plan_.sampleLowest;
  const std::int32_t highest = plan_.sampleHighest;
  std::int32_t* stored = windowSamples_.get() + at * channels;
  for (std::size_t i = 0; i < frames * channels; ++i) {
    stored[i] = std::clamp(samples[i], lowest, highest);
  }
  MixGuide(stored, frames, format_.channels, plan_, windowGuide_.get() + at * plan_.guideLanes);
  windowCount_ += frames;
}

void TempoStretcher::AppendSilence(std::size_t frames) {
  MakeRoom(frames);
  const std::size_t at = head_ + windowCount_;
  const std::size_t channels = format_.channels;
  std::fill_n(windowSamples_.get() + at * channels, frames * channels, 0);
  std::fill_n(windowGuide_.get() + at * plan_.guideLanes, frames * plan_.guideLanes,
              std::int16_t{0});
  windowCount_ += frames;
}

void TempoStretcher::MakeRoom(std::size_t frames) {
  if (windowCount_ == 0) {
    head_ = 0;
  }
  if (head_ + windowCount_ + frames <= bufferFrames_) {
    return;
  }
  const std::size_t channels = format_.channels;
  std::memmove(windowSamples_.get(), windowSamples_.get() + head_ * channels,
               windowCount_ * channels * sizeof(std::int32_t));
  std::memmove(windowGuide_.get(), windowGuide_.get() + head_ * plan_.guideLanes,
               windowCount_ * plan_.guideLanes * sizeof(std::int16_t));
  head_ = 0;
}

void TempoStretcher::DropBefore(std::uint64_t frame) {
  if (frame <= windowStart_) {
    return;
  }
  const auto dropped =
      static_cast<std::size_t>(std::min<std::uint64_t>(windowCount_, frame - windowStart_));
  head_ += dropped;
  windowCount_ -= dropped;
  windowStart_ += dropped;
}

const std::int32_t* TempoStretcher::SamplesAt(std::uint64_t frame) const {
  return windowSamples_.get() +
         (head_ + static_cast<std::size_t>(frame - windowStart_)) * format_.channels;
}

const std::int16_t* TempoStretcher::GuideAt(std::uint64_t frame) const {
  return windowGuide_.get() +
         (head_ + static_cast<std::size_t>(frame - windowStart_)) * plan_.guideLanes;
}

}  // namespace tavrel::tempo
