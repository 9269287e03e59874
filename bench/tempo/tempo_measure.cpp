// tempo_measure: the inputs of the tempo report and the figures it takes.
//
//   tempo_measure tones PATH SECONDS    440 + 660 Hz, 44.1 kHz mono, 16 bits
//   tempo_measure music PATH SECONDS    chords over a bass, 44.1 kHz stereo
//   tempo_measure compare KIND SOURCE OUTPUT SPEED
//
// compare prints one line: output frames, expected frames (source × 100 /
// speed), the duration error in percent, the pitch error in percent (KIND
// tones: the worse of the output's two spectral peaks against 440 and 660
// Hz; speech: the output's median F0 against the source's; music: "-"), and
// the clicks (sample steps larger than the source's largest).
//
// It reads any RIFF WAV of integer PCM, as the peers write them. Floating
// point is fine here: these are measurements, not the method.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

namespace {

struct Sound {
  std::uint32_t rate = 0;
  std::uint32_t channels = 0;
  std::vector<std::int32_t> samples;  // interleaved, in the file's own scale

  std::size_t frames() const { return samples.size() / channels; }
};

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "tempo_measure: %s\n", what.c_str());
  std::exit(1);
}

std::uint32_t Le(const std::uint8_t* at, unsigned width) {
  std::uint32_t value = 0;
  for (unsigned i = 0; i < width; ++i) {
    value |= std::uint32_t{at[i]} << (8 * i);
  }
  return value;
}

Sound ReadWav(const char* path) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) {
    Fail(std::string("cannot open ") + path);
  }
  std::vector<std::uint8_t> bytes;
  std::uint8_t chunk[1 << 16];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) {
    bytes.insert(bytes.end(), chunk, chunk + n);
  }
  std::fclose(file);
  if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
      std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
    Fail(std::string("not a WAV file: ") + path);
  }
  Sound sound;
  std::uint32_t bits = 0;
  for (std::size_t at = 12; at + 8 <= bytes.size();) {
    const std::uint8_t* id = bytes.data() + at;
    const std::size_t size = std::min<std::size_t>(Le(id + 4, 4), bytes.size() - at - 8);
    const std::uint8_t* body = id + 8;
    if (std::memcmp(id, "fmt ", 4) == 0 && size >= 16) {
      const std::uint32_t tag = Le(body, 2);
      const bool pcm = tag == 1 || (tag == 0xFFFE && size >= 26 && Le(body + 24, 2) == 1);
      if (!pcm) {
        Fail(std::string("not integer PCM: ") + path);
      }
      sound.channels = Le(body + 2, 2);
      sound.rate = Le(body + 4, 4);
      bits = Le(body + 14, 2);
    } else if (std::memcmp(id, "data", 4) == 0 && sound.channels > 0) {
      const std::uint32_t width = (bits + 7) / 8;
      const std::size_t count = size / width / sound.channels * sound.channels;
      sound.samples.resize(count);
      for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t raw = Le(body + i * width, width);
        if (width == 1) {
          sound.samples[i] = static_cast<std::int32_t>(raw) - 128;
        } else {
          const unsigned unused = 32 - 8 * width;
          sound.samples[i] = static_cast<std::int32_t>(raw << unused) >> unused;
        }
      }
      return sound;
    }
    at += 8 + size + (size & 1);
  }
  Fail(std::string("no fmt and data chunks: ") + path);
}

void WriteWav(const char* path, const Sound& sound) {
  const auto dataBytes = static_cast<std::uint32_t>(sound.samples.size() * 2);
  std::vector<std::uint8_t> bytes(44 + dataBytes);
  const auto put = [&bytes](std::size_t at, std::uint32_t value, unsigned width) {
    for (unsigned i = 0; i < width; ++i) {
      bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
  };
  std::memcpy(bytes.data(), "RIFF\0\0\0\0WAVEfmt ", 16);
  put(4, dataBytes + 36, 4);
  put(16, 16, 4);
  put(20, 1, 2);
  put(22, sound.channels, 2);
  put(24, sound.rate, 4);
  put(28, sound.rate * sound.channels * 2, 4);
  put(32, sound.channels * 2, 2);
  put(34, 16, 2);
  std::memcpy(bytes.data() + 36, "data", 4);
  put(40, dataBytes, 4);
  for (std::size_t i = 0; i < sound.samples.size(); ++i) {
    put(44 + 2 * i, static_cast<std::uint32_t>(sound.samples[i]), 2);
  }
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() ||
      std::fclose(file) != 0) {
    Fail(std::string("cannot write ") + path);
  }
}

std::int32_t ToSample(double value) {
  return static_cast<std::int32_t>(std::lround(std::clamp(value, -1.0, 1.0) * 32767.0));
}

Sound MakeTones(double seconds) {
  Sound sound{44100, 1, {}};
  const auto frames = static_cast<std::size_t>(seconds * sound.rate);
  for (std::size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / sound.rate;
    sound.samples.push_back(ToSample(0.4 * std::sin(2 * std::numbers::pi * 440 * t) +
                                     0.4 * std::sin(2 * std::numbers::pi * 660 * t)));
  }
  return sound;
}

// Chords of three notes that change every half to two seconds over a bass
// note, each note with four harmonics, a 10 ms attack, a decay and a 20 ms
// release, the voices panned apart: a harmonic, music-like signal with note
// changes and no step of its own that would hide a click.
Sound MakeMusic(double seconds) {
  Sound sound{44100, 2, {}};
  const auto frames = static_cast<std::size_t>(seconds * sound.rate);
  sound.samples.resize(frames * 2);
  static const int kChords[][3] = {{0, 4, 7}, {5, 9, 12}, {7, 11, 14}, {9, 12, 16},
                                   {2, 5, 9}, {4, 7, 11}, {0, 3, 7},  {5, 8, 12}};
  std::uint32_t seed = 12345;
  const auto next = [&seed]() { return (seed = seed * 1664525u + 1013904223u) >> 8; };
  std::vector<double> mix(frames * 2, 0.0);
  for (std::size_t start = 0; start < frames;) {
    const std::size_t length = sound.rate / 2 * (1 + next() % 4);
    const int* chord = kChords[next() % 8];
    const int root = 48 + static_cast<int>(next() % 5);  // MIDI note numbers
    const int notes[4] = {root - 12, root + chord[0] + 12, root + chord[1] + 12,
                          root + chord[2] + 12};
    for (int v = 0; v < 4; ++v) {
      const double frequency = 440.0 * std::pow(2.0, (notes[v] - 69) / 12.0);
      const double pan = 0.2 + 0.2 * v;
      for (std::size_t i = 0; i < length && start + i < frames; ++i) {
        const double t = static_cast<double>(i) / sound.rate;
        const double left = static_cast<double>(length - i) / sound.rate;
        const double envelope =
            std::min({1.0, t / 0.01, left / 0.02}) * std::exp(-1.5 * t);
        double value = 0;
        for (int h = 1; h <= 4; ++h) {
          value += std::sin(2 * std::numbers::pi * frequency * h * t) / (h * h);
        }
        value *= 0.16 * envelope;
        mix[2 * (start + i)] += value * (1 - pan);
        mix[2 * (start + i) + 1] += value * pan;
      }
    }
    start += length;
  }
  for (std::size_t i = 0; i < mix.size(); ++i) {
    sound.samples[i] = ToSample(mix[i]);
  }
  return sound;
}

std::vector<double> Mono(const Sound& sound) {
  std::vector<double> mono(sound.frames());
  for (std::size_t i = 0; i < mono.size(); ++i) {
    double sum = 0;
    for (std::uint32_t c = 0; c < sound.channels; ++c) {
      sum += sound.samples[i * sound.channels + c];
    }
    mono[i] = sum / sound.channels;
  }
  return mono;
}

// Power of the Hann-windowed signal at `frequency`, by Goertzel.
double PowerAt(const std::vector<double>& signal, double rate, double frequency) {
  const double coefficient = 2 * std::cos(2 * std::numbers::pi * frequency / rate);
  const double n = static_cast<double>(signal.size());
  double s1 = 0, s2 = 0;
  for (std::size_t i = 0; i < signal.size(); ++i) {
    const double window = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * static_cast<double>(i) / n);
    const double s0 = signal[i] * window + coefficient * s1 - s2;
    s2 = s1;
    s1 = s0;
  }
  return s1 * s1 + s2 * s2 - coefficient * s1 * s2;
}

// The strongest frequency within 5 % of `around`: a 0.25 Hz scan, then a
// parabola through the best three points (log power).
double PeakNear(const std::vector<double>& signal, double rate, double around) {
  constexpr double kStep = 0.25;
  const double from = around * 0.95;
  const auto steps = static_cast<int>(around * 0.1 / kStep);
  std::vector<double> power(static_cast<std::size_t>(steps) + 1);
  int best = 0;
  for (int k = 0; k <= steps; ++k) {
    power[static_cast<std::size_t>(k)] = std::log(PowerAt(signal, rate, from + k * kStep) + 1e-30);
    if (power[static_cast<std::size_t>(k)] > power[static_cast<std::size_t>(best)]) {
      best = k;
    }
  }
  double offset = 0;
  if (best > 0 && best < steps) {
    const auto b = static_cast<std::size_t>(best);
    const double left = power[b - 1], middle = power[b], right = power[b + 1];
    const double denominator = left - 2 * middle + right;
    offset = denominator < 0 ? 0.5 * (left - right) / denominator : 0;
  }
  return from + (best + offset) * kStep;
}

// Median F0 of the voiced 40 ms frames (10 ms apart), from the normalised
// autocorrelation between 60 and 400 Hz: a frame is voiced when it is no
// quieter than a tenth of the loudest frame's RMS and its best correlation
// exceeds 0.6; the shortest lag within 90 % of the best avoids octave
// errors; a parabola refines the lag.
double MedianF0(const std::vector<double>& signal, double rate) {
  const auto window = static_cast<std::size_t>(0.04 * rate);
  const auto hop = static_cast<std::size_t>(0.01 * rate);
  const auto shortest = static_cast<std::size_t>(rate / 400);
  const auto longest = static_cast<std::size_t>(rate / 60);
  if (signal.size() < window + longest + 1) {
    return 0;
  }
  double loudest = 0;
  for (std::size_t at = 0; at + window <= signal.size(); at += hop) {
    double energy = 0;
    for (std::size_t i = 0; i < window; ++i) {
      energy += signal[at + i] * signal[at + i];
    }
    loudest = std::max(loudest, energy);
  }
  std::vector<double> f0s;
  std::vector<double> r(longest + 2);
  for (std::size_t at = 0; at + window + longest + 1 <= signal.size(); at += hop) {
    const double* x = signal.data() + at;
    double energy = 0;
    for (std::size_t i = 0; i < window; ++i) {
      energy += x[i] * x[i];
    }
    if (energy < 0.01 * loudest) {
      continue;
    }
    double bestValue = 0;
    for (std::size_t lag = shortest - 1; lag <= longest + 1; ++lag) {
      double cross = 0, lagged = 0;
      for (std::size_t i = 0; i < window; ++i) {
        cross += x[i] * x[i + lag];
        lagged += x[i + lag] * x[i + lag];
      }
      r[lag] = cross / std::sqrt(energy * lagged + 1e-30);
      if (lag >= shortest && lag <= longest) {
        bestValue = std::max(bestValue, r[lag]);
      }
    }
    if (bestValue < 0.6) {
      continue;
    }
    for (std::size_t lag = shortest; lag <= longest; ++lag) {
      if (r[lag] >= 0.9 * bestValue && r[lag] >= r[lag - 1] && r[lag] >= r[lag + 1]) {
        const double denominator = r[lag - 1] - 2 * r[lag] + r[lag + 1];
        const double offset = denominator < 0 ? 0.5 * (r[lag - 1] - r[lag + 1]) / denominator : 0;
        f0s.push_back(rate / (static_cast<double>(lag) + offset));
        break;
      }
    }
  }
  if (f0s.empty()) {
    return 0;
  }
  std::nth_element(f0s.begin(), f0s.begin() + static_cast<std::ptrdiff_t>(f0s.size() / 2), f0s.end());
  return f0s[f0s.size() / 2];
}

std::int64_t LargestStep(const Sound& sound) {
  std::int64_t largest = 0;
  for (std::size_t i = sound.channels; i < sound.samples.size(); ++i) {
    largest = std::max<std::int64_t>(
        largest, std::llabs(std::int64_t{sound.samples[i]} - sound.samples[i - sound.channels]));
  }
  return largest;
}

std::size_t StepsAbove(const Sound& sound, std::int64_t limit) {
  std::size_t count = 0;
  for (std::size_t i = sound.channels; i < sound.samples.size(); ++i) {
    count += std::llabs(std::int64_t{sound.samples[i]} - sound.samples[i - sound.channels]) > limit;
  }
  return count;
}

void Compare(const std::string& kind, const char* sourcePath, const char* outputPath,
             long speed) {
  const Sound source = ReadWav(sourcePath);
  const Sound output = ReadWav(outputPath);
  if (output.rate != source.rate || output.channels != source.channels) {
    Fail(std::string("rate or channels changed: ") + outputPath);
  }
  const double expected = static_cast<double>(source.frames()) * 100.0 / static_cast<double>(speed);
  const double durationError = 100.0 * (static_cast<double>(output.frames()) - expected) / expected;
  std::string pitch = "-";
  char text[64];
  if (kind == "tones") {
    const std::vector<double> mono = Mono(output);
    double worst = 0;
    for (const double tone : {440.0, 660.0}) {
      const double error = 100.0 * (PeakNear(mono, output.rate, tone) - tone) / tone;
      worst = std::abs(error) > std::abs(worst) ? error : worst;
    }
    std::snprintf(text, sizeof text, "%+.3f", worst);
    pitch = text;
  } else if (kind == "speech") {
    const double before = MedianF0(Mono(source), source.rate);
    const double after = MedianF0(Mono(output), output.rate);
    std::snprintf(text, sizeof text, "%+.2f", 100.0 * (after - before) / before);
    pitch = text;
  }
  std::printf("%zu %.0f %+.3f %s %zu\n", output.frames(), std::floor(expected), durationError,
              pitch.c_str(), StepsAbove(output, LargestStep(source)));
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if ((command == "tones" || command == "music") && argc == 4) {
    const double seconds = std::atof(argv[3]);
    WriteWav(argv[2], command == "tones" ? MakeTones(seconds) : MakeMusic(seconds));
  } else if (command == "compare" && argc == 6) {
    Compare(argv[2], argv[3], argv[4], std::atol(argv[5]));
  } else {
    Fail("usage: tempo_measure tones|music PATH SECONDS | compare KIND SOURCE OUTPUT SPEED");
  }
  return 0;
}
