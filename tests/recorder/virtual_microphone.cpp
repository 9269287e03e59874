#include "virtual_microphone.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace recorder_test {

VirtualMicrophone::VirtualMicrophone() : pipe_(dir_ / "microphone") {
  if (::mkfifo(pipe_.c_str(), 0600) != 0) {
    throw std::runtime_error("cannot create the microphone pipe");
  }
  const std::filesystem::path config = dir_ / "asound.conf";
  std::ofstream(config) << "pcm.!default {\n"
                           "  type file\n"
                           "  slave.pcm { type null }\n"
                           "  file \"/dev/null\"\n"
                           "  infile \"" << pipe_.string() << "\"\n"
                           "  format \"raw\"\n"
                           "}\n";
  ::setenv("ALSA_CONFIG_PATH", config.c_str(), 1);
}

PipeFeeder::PipeFeeder(const std::filesystem::path& pipe, const std::vector<std::uint8_t>& input,
                       std::size_t chunkBytes)
    : descriptor_(::open(pipe.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC)),
      input_(input),
      chunkBytes_(chunkBytes) {
  if (descriptor_ < 0 || chunkBytes == 0 || chunkBytes > PIPE_BUF) {
    throw std::runtime_error("cannot feed the microphone pipe");
  }
}

PipeFeeder::~PipeFeeder() {
  Stop();
  ::close(descriptor_);
}

void PipeFeeder::Start() { thread_ = std::thread(&PipeFeeder::Run, this); }

void PipeFeeder::Stop() {
  stop_.store(true);
  if (thread_.joinable()) {
    thread_.join();
  }
}

void PipeFeeder::Run() {
  std::size_t at = 0;
  while (!stop_.load() && at + chunkBytes_ <= input_.size()) {
    const ssize_t written = ::write(descriptor_, input_.data() + at, chunkBytes_);
    if (written == static_cast<ssize_t>(chunkBytes_)) {
      at += chunkBytes_;
      fed_.store(at);
    } else if (written >= 0 || errno != EAGAIN) {
      throw std::runtime_error("partial write to the microphone pipe");
    }
    // About a report per millisecond: far faster than real time, slow
    // enough that a test stops long before the input runs out.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

}  // namespace recorder_test
