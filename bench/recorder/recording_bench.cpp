// CPU time per second of recorded audio, through liborlesk and the paced
// capture device at real time: the device's period wake-ups, the report,
// the queue, the writer and the file, as with a sound card.
//   build/bench/recorder/orlesk_bench
//   build/bench/recorder/orlesk_bench --baseline=other/liborlesk.so.1
// With --baseline, another build of the library (an older one, say) is
// loaded beside this one and each format is recorded by both in turn, so
// the two columns are measured side by side in one run.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <time.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "orlesk.h"
#include "paced_device.h"

namespace {

namespace fs = std::filesystem;

using StartFunction = decltype(&StartRecordingWav);
using StopFunction = decltype(&StopRecordingWav);

struct Library {
  std::string name;
  StartFunction start = nullptr;
  StopFunction stop = nullptr;
};

fs::path benchDirectory;

// Loads a liborlesk build and finds its two exports; exits when it cannot.
Library Load(const std::string& name, const std::string& path) {
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  Library library{name};
  if (handle != nullptr) {
    library.start = reinterpret_cast<StartFunction>(::dlsym(handle, "StartRecordingWav"));
    library.stop = reinterpret_cast<StopFunction>(::dlsym(handle, "StopRecordingWav"));
  }
  if (library.start == nullptr || library.stop == nullptr) {
    std::fprintf(stderr, "orlesk_bench: cannot load %s\n", path.c_str());
    std::exit(2);
  }
  return library;
}

// The paced device as "default", delivering frame counters at real time.
void UsePacedMicrophone() {
  std::string pattern = (fs::temp_directory_path() / "orlesk-bench-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    std::abort();
  }
  benchDirectory = pattern;
  paced_device::PacedDeviceOptions options;
  options.speed = 1;
  const fs::path config =
      paced_device::WritePacedDeviceConfig(benchDirectory, PACED_PLUGIN_PATH, options);
  ::setenv("ALSA_CONFIG_PATH", config.c_str(), 1);
}

double ProcessCpuSeconds() {
  timespec now{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Records 2 s of wall time per iteration; the CPU of the whole process
// (caller, capture and writer threads) per second of audio in the file.
void RecordAtRealTime(benchmark::State& state, const Library& library, std::int32_t rate,
                      std::int32_t bits) {
  const double bytesPerSecond = rate * (bits / 8);
  const fs::path path = benchDirectory / "bench.wav";
  const std::u16string widePath = path.u16string();
  double audioSeconds = 0;
  double cpuSeconds = 0;
  for (auto _ : state) {
    const double cpuStart = ProcessCpuSeconds();
    if (library.start(widePath.c_str(), rate, bits) != ORLESK_SUCCESS) {
      state.SkipWithError("the paced device did not start");
      break;
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));
    if (library.stop() != ORLESK_SUCCESS) {
      state.SkipWithError("stop failed");
      break;
    }
    cpuSeconds += ProcessCpuSeconds() - cpuStart;
    audioSeconds += static_cast<double>(fs::file_size(path) - 44) / bytesPerSecond;
    fs::remove(path);
  }
  state.counters["cpu_ms_per_audio_s"] = 1000 * cpuSeconds / audioSeconds;
  state.counters["audio_s"] = audioSeconds;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  std::vector<Library> libraries{Load("current", ORLESK_LIBRARY_PATH)};
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument.rfind("--baseline=", 0) == 0) {
      libraries.push_back(Load("baseline", argument.substr(std::strlen("--baseline="))));
    } else {
      std::fprintf(stderr, "orlesk_bench: unknown argument %s\n", argv[i]);
      return 2;
    }
  }
  UsePacedMicrophone();
  const std::pair<std::int32_t, std::int32_t> formats[] = {{8000, 16}, {44100, 16}, {48000, 32}};
  for (const auto& [rate, bits] : formats) {
    for (const Library& library : libraries) {
      const std::string name = "RecordAtRealTime/" + library.name + "/" + std::to_string(rate) +
                               "/" + std::to_string(bits);
      benchmark::RegisterBenchmark(name.c_str(), RecordAtRealTime, library, rate, bits)
          ->Iterations(3)
          ->Unit(benchmark::kMillisecond);
    }
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ignored;
  fs::remove_all(benchDirectory, ignored);
  return 0;
}
