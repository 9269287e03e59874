// Recording throughput as a multiple of real time, and CPU time per second
// of recorded audio, through liborlesk and ALSA's file plugin.
//   build/bench/recorder/orlesk_bench
#include <benchmark/benchmark.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "orlesk.h"

namespace {

namespace fs = std::filesystem;

fs::path benchDirectory;

// The file plugin as "default", its input /dev/zero: endless audio at once.
void UseFileBackedMicrophone() {
  std::string pattern = (fs::temp_directory_path() / "orlesk-bench-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    std::abort();
  }
  benchDirectory = pattern;
  const fs::path config = benchDirectory / "asound.conf";
  std::ofstream(config) << "pcm.!default {\n"
                           "  type file\n"
                           "  slave.pcm { type null }\n"
                           "  file \"/dev/null\"\n"
                           "  infile \"/dev/zero\"\n"
                           "  format \"raw\"\n"
                           "}\n";
  ::setenv("ALSA_CONFIG_PATH", config.c_str(), 1);
}

std::u16string Utf16(const std::string& ascii) { return {ascii.begin(), ascii.end()}; }

double ProcessCpuSeconds() {
  timespec now{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Records for 200 ms of wall time per iteration at the given format.
void RecordAsFastAsTheDeviceDelivers(benchmark::State& state) {
  const auto rate = static_cast<std::int32_t>(state.range(0));
  const auto bits = static_cast<std::int32_t>(state.range(1));
  const double bytesPerSecond = rate * (bits / 8);
  const fs::path path = benchDirectory / "bench.wav";
  const std::u16string widePath = Utf16(path.string());
  double audioSeconds = 0;
  double wallSeconds = 0;
  double cpuSeconds = 0;
  for (auto _ : state) {
    const auto wallStart = std::chrono::steady_clock::now();
    const double cpuStart = ProcessCpuSeconds();
    if (StartRecordingWav(widePath.c_str(), rate, bits) != ORLESK_SUCCESS) {
      state.SkipWithError("the file-backed device did not start");
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    if (StopRecordingWav() != ORLESK_SUCCESS) {
      state.SkipWithError("stop failed");
      break;
    }
    cpuSeconds += ProcessCpuSeconds() - cpuStart;
    wallSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    audioSeconds += static_cast<double>(fs::file_size(path) - 44) / bytesPerSecond;
    fs::remove(path);
  }
  state.counters["x_real_time"] = audioSeconds / wallSeconds;
  state.counters["cpu_ms_per_audio_s"] = 1000 * cpuSeconds / audioSeconds;
  state.counters["audio_s"] = audioSeconds;
}

BENCHMARK(RecordAsFastAsTheDeviceDelivers)
    ->Args({8000, 16})
    ->Args({44100, 16})
    ->Args({48000, 32})
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  UseFileBackedMicrophone();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ignored;
  fs::remove_all(benchDirectory, ignored);
  return 0;
}
