// The speed effect beside a plain copy of the same bytes, timed in the same
// iteration so that the ratio holds on a noisy machine:
//   - large files (100 MiB of frames) at 50 in five sample formats, and
//     16-bit stereo at 100, 150 and 200;
//   - a short voice clip (1 s, 8 kHz, 16-bit mono), as calls per second.
// Before every timed run, of the call and of the copy alike, the
// destination is removed outside the timing: writing over an existing file
// first costs truncating it, which would flatter whichever side pays it.
//   build/bench/speed/tavrel_bench    (TAVREL_BENCH_DIR chooses the folder)
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bench_inputs.h"
#include "copy_baseline.h"
#include "ratio_reporter.h"
#include "tavrel.h"

namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kLargeDataBytes = std::uint64_t{100} << 20;
constexpr std::size_t kCopyChunkBytes = std::size_t{1} << 20;

const bench::SampleFormat kFormats[] = {
    {"16-bit stereo", 2, 16}, {"16-bit mono", 1, 16},   {"8-bit mono", 1, 8},
    {"24-bit stereo", 2, 24}, {"32-bit stereo", 2, 32},
};
constexpr std::int64_t kStereo16 = 0;
constexpr std::int64_t kMono16 = 1;

fs::path WorkFolder() {
  const char* chosen = std::getenv("TAVREL_BENCH_DIR");
  return chosen != nullptr ? fs::path(chosen) : fs::temp_directory_path();
}

const fs::path& DestinationPath() {
  static const fs::path path = WorkFolder() / "tavrel-bench-output.wav";
  return path;
}

struct Source {
  fs::path path;
  std::uint64_t frames;
  std::uint64_t bytes;
};

// Each source file is written once, the first time a case needs it.
std::map<std::string, Source>& Sources() {
  static std::map<std::string, Source> sources;
  return sources;
}

const Source& SourceFile(const bench::SampleFormat& format, std::uint64_t frames) {
  const std::string key = std::string(format.name) + "/" + std::to_string(frames);
  auto found = Sources().find(key);
  if (found == Sources().end()) {
    const fs::path path = WorkFolder() / ("tavrel-bench-" + std::to_string(Sources().size()) + ".wav");
    bench::WriteSourceFile(path, format, frames);
    found = Sources().emplace(key, Source{path, frames, fs::file_size(path)}).first;
  }
  return found->second;
}

void RemoveDestination() {
  std::error_code ignored;
  fs::remove(DestinationPath(), ignored);
}

template <typename Work>
double SecondsOf(Work&& work, bool& ok) {
  const auto start = std::chrono::steady_clock::now();
  ok = work() && ok;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct PairTimes {
  double call = 0;
  double copy = 0;
};

// Times the call and the copy once each, on a removed destination, the
// order alternating from one iteration to the next. The call's time is the
// iteration's time.
bool TimePairs(benchmark::State& state, const Source& source, std::int32_t speed,
               std::uint64_t outputBytes, PairTimes& times) {
  const std::u16string wideSource = source.path.u16string();
  const std::u16string wideDestination = DestinationPath().u16string();
  std::vector<char> chunk(kCopyChunkBytes);
  bool ok = true;
  auto call = [&] {
    RemoveDestination();
    const double seconds = SecondsOf(
        [&] {
          return ApplySpeedEffectToWav(wideSource.c_str(), wideDestination.c_str(), speed) ==
                 TAVREL_SUCCESS;
        },
        ok);
    times.call += seconds;
    return seconds;
  };
  auto copy = [&] {
    RemoveDestination();
    times.copy += SecondsOf(
        [&] {
          return bench::CopyLikeTheEffect(source.path, source.bytes, DestinationPath(),
                                          outputBytes, chunk);
        },
        ok);
  };
  bool copyFirst = true;
  for (auto _ : state) {
    double callSeconds = 0;
    if (copyFirst) {
      copy();
      callSeconds = call();
    } else {
      callSeconds = call();
      copy();
    }
    copyFirst = !copyFirst;
    state.SetIterationTime(callSeconds);
  }
  if (!ok) {
    state.SkipWithError("the call or the copy failed");
    return false;
  }
  return true;
}

void BM_LargeFile(benchmark::State& state) {
  const bench::SampleFormat& format = kFormats[state.range(0)];
  const auto speed = static_cast<std::int32_t>(state.range(1));
  const Source& source = SourceFile(format, kLargeDataBytes / format.blockAlign());
  const std::uint64_t outputBytes = bench::OutputFileBytes(source.frames, format.blockAlign(), speed);
  PairTimes times;
  if (!TimePairs(state, source, speed, outputBytes, times)) {
    return;
  }
  const auto iterations = static_cast<double>(state.iterations());
  state.SetLabel(std::string(format.name) + " at " + std::to_string(speed));
  state.counters["call_ms"] = times.call * 1000 / iterations;
  state.counters["copy_ms"] = times.copy * 1000 / iterations;
  state.counters["ratio"] = times.call / times.copy;
  const bool sixteenBit = state.range(0) == kStereo16 || state.range(0) == kMono16;
  state.counters["target"] = speed != 50 ? 1.2 : sixteenBit ? 1.5 : 2.0;
}

void BM_SmallFile(benchmark::State& state) {
  const bench::SampleFormat format{"16-bit mono", 1, 16};
  const auto speed = static_cast<std::int32_t>(state.range(0));
  const Source& source = SourceFile(format, 8000);
  const std::uint64_t outputBytes = bench::OutputFileBytes(source.frames, format.blockAlign(), speed);
  PairTimes times;
  if (!TimePairs(state, source, speed, outputBytes, times)) {
    return;
  }
  const auto iterations = static_cast<double>(state.iterations());
  state.SetLabel("1 s 8 kHz 16-bit mono at " + std::to_string(speed));
  state.counters["call_per_s"] = iterations / times.call;
  state.counters["copy_per_s"] = iterations / times.copy;
  state.counters["ratio"] = times.call / times.copy;
}

}  // namespace

BENCHMARK(BM_LargeFile)
    ->ArgNames({"format", "speed"})
    ->Args({kStereo16, 50})
    ->Args({kMono16, 50})
    ->Args({2, 50})
    ->Args({3, 50})
    ->Args({4, 50})
    ->Args({kStereo16, 100})
    ->Args({kStereo16, 150})
    ->Args({kStereo16, 200})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(4)
    ->Repetitions(5);

BENCHMARK(BM_SmallFile)
    ->ArgName("speed")
    ->Arg(50)
    ->Arg(100)
    ->Arg(150)
    ->Arg(200)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(2000)
    ->Repetitions(5);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  RemoveDestination();
  for (const auto& [key, source] : Sources()) {
    std::error_code ignored;
    fs::remove(source.path, ignored);
  }
  return 0;
}
