// A streaming tempo change that keeps the pitch: waveform-similarity
// overlap-add (WSOLA) on interleaved integer samples.
//
// The output is made of pieces of `sequence` frames (TempoPlan). Piece k
// nominally copies the input from frame floor(k × sequence × speed / 100);
// it may start up to `search` frames either way, wherever its first
// `overlap` frames are most like the continuation of piece k − 1 (the input
// right after what piece k − 1 copied). Its first `overlap` frames fade from
// that continuation into the piece, the rest are copied. Every piece plays
// at the input's rate, so the pitch stays; only how often the input is
// repeated or skipped changes the length. One start serves every channel.
//
// Length: exactly TempoOutputFrames(N, speed) frames for N input frames.
// While input arrives only frames surely within that count are handed out;
// Finish hands out the rest. Near the end a piece's start is pulled back so
// that what it copies (and, unless it is the last, its continuation) lies
// within the input; only input shorter than that is followed by silence.
// Speed 100 hands the samples through unchanged.
//
// Memory: Configure allocates everything, sized by the plan and the channel
// count (a window of more than 2^24 samples is refused as kNoMemory), never
// by the input's length or the speed; Push and Finish allocate
// nothing. Input no piece will read (most of it at high speeds) is skipped
// as it arrives. The output depends only on the input samples, never on how
// they were split into pushes, and is the same on every machine: integer
// arithmetic throughout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "cross_fade.h"
#include "similarity_search.h"
#include "tempo_plan.h"

namespace tavrel::tempo {

// The most samples the input window may hold, 64 MiB of them: no work
// buffer of either effect is larger, whatever the header says.
inline constexpr std::uint64_t kMostWindowSamples = std::uint64_t{1} << 24;

// Where output frames go.
class FrameSink {
 public:
  // `frames` interleaved frames; false stops the tempo change.
  virtual bool Take(const std::int32_t* samples, std::size_t frames) = 0;

 protected:
  ~FrameSink() = default;
};

class TempoStretcher {
 public:
  enum class Setup { kReady, kUnusableFormat, kSpeedBelowOne, kNoMemory };

  // Starts a new tempo change, dropping any earlier one. Samples are taken
  // in the range of format.bitsPerSample (8-bit ones centred on 0); any
  // outside it are clamped to it (speed 100 hands them through as they are).
  Setup Configure(const TempoFormat& format, std::int32_t speed,
                  const TempoTimings& timings = {});

  // Takes `frames` interleaved frames and hands `sink` whatever output is
  // ready. False when not configured, already finished, or the sink refused.
  bool Push(const std::int32_t* samples, std::size_t frames, FrameSink& sink);

  // Ends the input and hands out the rest of the output. False as Push.
  bool Finish(FrameSink& sink);

  std::uint64_t inputFrames() const { return received_; }
  std::uint64_t outputFrames() const { return emitted_; }
  const TempoPlan& plan() const { return plan_; }

  // Bytes of every buffer Configure allocated.
  std::size_t reservedBytes() const;

 private:
  bool Advance(FrameSink& sink);
  std::uint64_t NominalStart(std::uint64_t piece) const;
  void MakePiece();
  void Store(const std::int32_t* samples, std::size_t frames);
  void AppendSilence(std::size_t frames);
  void MakeRoom(std::size_t frames);
  void DropBefore(std::uint64_t frame);
  const std::int32_t* SamplesAt(std::uint64_t frame) const;
  const std::int16_t* GuideAt(std::uint64_t frame) const;

  TempoFormat format_{};
  TempoPlan plan_{};
  std::int32_t speed_ = 0;
  bool ready_ = false;
  bool finished_ = false;
  bool failed_ = false;

  SimilaritySearch search_;
  CrossFade fade_;

  // The input that pieces may still read: frames [windowStart_,
  // windowStart_ + windowCount_), at buffer frame head_ on, with their guide.
  std::unique_ptr<std::int32_t[]> windowSamples_;
  std::unique_ptr<std::int16_t[]> windowGuide_;
  std::size_t bufferFrames_ = 0;
  std::size_t windowLimit_ = 0;  // frames held while input arrives
  std::size_t head_ = 0;
  std::size_t windowCount_ = 0;
  std::uint64_t windowStart_ = 0;
  std::uint64_t keepFrom_ = 0;  // earlier input is skipped

  // What the last piece made would have gone on with.
  std::unique_ptr<std::int32_t[]> continuation_;
  std::unique_ptr<std::int16_t[]> continuationGuide_;

  // The last piece made, handed out as the frame count allows.
  std::unique_ptr<std::int32_t[]> piece_;
  std::size_t pieceFirst_ = 0;
  std::size_t pieceEnd_ = 0;
  std::uint64_t nextPiece_ = 0;

  std::uint64_t received_ = 0;
  std::uint64_t emitted_ = 0;
  std::uint64_t total_ = 0;  // known once finished
};

}  // namespace tavrel::tempo
