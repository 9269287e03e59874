// Time of the speed effect on a large file beside a plain copy of the same
// bytes, measured in one run so that the ratio holds on a noisy machine.
//
// The copy reads the whole input and writes as many bytes as the speed
// effect's output has, in 1 MiB system calls: the least any speed change
// of a file has to do.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tavrel.h"

namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kFrames = 26'214'400;  // 16-bit stereo: 100 MiB of frames
constexpr std::size_t kChunk = std::size_t{1} << 20;

fs::path WorkFolder() {
  const char* chosen = std::getenv("TAVREL_BENCH_DIR");
  return chosen != nullptr ? fs::path(chosen) : fs::temp_directory_path();
}

const fs::path& InputPath() {
  static const fs::path path = WorkFolder() / "tavrel-bench-input.wav";
  return path;
}

const fs::path& OutputPath() {
  static const fs::path path = WorkFolder() / "tavrel-bench-output.wav";
  return path;
}

void PutLe(std::uint8_t* at, std::uint32_t value, int width) {
  for (int i = 0; i < width; ++i) {
    at[i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

// A 16-bit stereo file of two slow sweeps, written once per run.
void WriteInputFile() {
  std::FILE* file = std::fopen(InputPath().c_str(), "wb");
  if (file == nullptr) {
    std::perror("bench input");
    std::exit(1);
  }
  const std::uint32_t dataSize = kFrames * 4;
  std::uint8_t header[44] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
  PutLe(header + 4, dataSize + 36, 4);
  PutLe(header + 16, 16, 4);
  PutLe(header + 20, 1, 2);
  PutLe(header + 22, 2, 2);
  PutLe(header + 24, 44100, 4);
  PutLe(header + 28, 44100 * 4, 4);
  PutLe(header + 32, 4, 2);
  PutLe(header + 34, 16, 2);
  std::copy_n("data", 4, header + 36);
  PutLe(header + 40, dataSize, 4);
  std::fwrite(header, 1, sizeof header, file);
  std::vector<std::uint8_t> chunk(kChunk);
  for (std::uint32_t frame = 0; frame < kFrames;) {
    const std::uint32_t count = std::min<std::uint32_t>(kFrames - frame, kChunk / 4);
    for (std::uint32_t k = 0; k < count; ++k, ++frame) {
      PutLe(&chunk[4 * k], (frame * 13u) & 0xFFFFu, 2);
      PutLe(&chunk[4 * k + 2], (frame * 29u + 7u) & 0xFFFFu, 2);
    }
    std::fwrite(chunk.data(), 4, count, file);
  }
  std::fclose(file);
}

std::uint64_t OutputBytes(std::int64_t speedPercent) {
  const auto speed = static_cast<std::uint64_t>(speedPercent);
  const std::uint64_t fullBlocks = kFrames / 1024;
  const std::uint64_t lastBlock = kFrames % 1024;
  const std::uint64_t frames =
      speed == 100 ? kFrames : fullBlocks * (1024 * 100 / speed) + lastBlock * 100 / speed;
  return 44 + frames * 4;
}

void BM_SpeedEffect(benchmark::State& state) {
  const auto speed = static_cast<std::int32_t>(state.range(0));
  const std::u16string in = InputPath().u16string();
  const std::u16string out = OutputPath().u16string();
  for (auto _ : state) {
    if (ApplySpeedEffectToWav(in.c_str(), out.c_str(), speed) != TAVREL_SUCCESS) {
      state.SkipWithError("the speed effect failed");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(fs::file_size(InputPath())));
}

void BM_CopyBaseline(benchmark::State& state) {
  const std::uint64_t outputBytes = OutputBytes(state.range(0));
  std::vector<char> chunk(kChunk);
  for (auto _ : state) {
    const int in = ::open(InputPath().c_str(), O_RDONLY);
    const int out = ::open(OutputPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::uint64_t toWrite = outputBytes;
    std::uint64_t toRead = fs::file_size(InputPath());
    // Read and write in step: input and output are spread alike over the run.
    while (toRead > 0 || toWrite > 0) {
      const ssize_t got = toRead > 0 ? ::read(in, chunk.data(), kChunk) : 0;
      toRead -= got > 0 ? static_cast<std::uint64_t>(got) : toRead;
      const double share = static_cast<double>(outputBytes) / static_cast<double>(fs::file_size(InputPath()));
      std::uint64_t due = toRead > 0 ? static_cast<std::uint64_t>(static_cast<double>(got) * share) : toWrite;
      due = std::min(due, toWrite);
      while (due > 0) {
        const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(due, kChunk));
        if (::write(out, chunk.data(), piece) != static_cast<ssize_t>(piece)) {
          state.SkipWithError("write failed");
          break;
        }
        due -= piece;
        toWrite -= piece;
      }
    }
    ::close(in);
    ::close(out);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(fs::file_size(InputPath())));
}

// Prints, after the usual table, each speed's time as a multiple of the copy.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    // A single run's time, or the median when the runs are repeated.
    for (const Run& run : runs) {
      const bool usable = run.run_type == Run::RT_Iteration || run.aggregate_name == "median";
      if (usable && !run.error_occurred) {
        seconds_[run.run_name.function_name + "/" + run.run_name.args] = run.GetAdjustedRealTime();
      }
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\nspeed  effect/copy  (target: <= 1.3 at 100, 150, 200; <= 2.0 at 50)\n");
    for (const int speed : {50, 100, 150, 200}) {
      const auto effect = seconds_.find("BM_SpeedEffect/" + std::to_string(speed));
      const auto copy = seconds_.find("BM_CopyBaseline/" + std::to_string(speed));
      if (effect != seconds_.end() && copy != seconds_.end()) {
        std::printf("%5d  %11.2f\n", speed, effect->second / copy->second);
      }
    }
  }

 private:
  std::map<std::string, double> seconds_;
};

}  // namespace

// Each speed is measured right after its copy, so both see the same load;
// the median of three repetitions damps a noisy machine.
#define TAVREL_BENCH_PAIR(speed)                                                              \
  BENCHMARK(BM_CopyBaseline)->Arg(speed)->Unit(benchmark::kMillisecond)->UseRealTime()      \
      ->MinTime(1.0)->Repetitions(3)->ReportAggregatesOnly(true);                           \
  BENCHMARK(BM_SpeedEffect)->Arg(speed)->Unit(benchmark::kMillisecond)->UseRealTime()       \
      ->MinTime(1.0)->Repetitions(3)->ReportAggregatesOnly(true)

TAVREL_BENCH_PAIR(50);
TAVREL_BENCH_PAIR(100);
TAVREL_BENCH_PAIR(150);
TAVREL_BENCH_PAIR(200);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  WriteInputFile();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  std::error_code ignored;
  fs::remove(InputPath(), ignored);
  fs::remove(OutputPath(), ignored);
  return 0;
}
