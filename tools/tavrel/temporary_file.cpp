#include "temporary_file.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

namespace tavrel_tool {

namespace {

constexpr std::array<int, 3> kEndingSignals = {SIGINT, SIGTERM, SIGHUP};

// What the signal handler needs, set up before the file exists and cleared
// after it is gone, with those signals blocked meanwhile.
std::array<char, 4096> pendingPath{};
volatile std::sig_atomic_t pathIsPending = 0;
std::array<struct sigaction, kEndingSignals.size()> previousActions{};

extern "C" void RemoveFileAndEnd(int signal) {
  if (pathIsPending != 0) {
    ::unlink(pendingPath.data());
  }
  // The action is back to the default (SA_RESETHAND): the process ends by
  // the same signal, as its parent expects.
  ::raise(signal);
}

// Holds the ending signals back while the pending path changes, so that the
// handler never sees half of it.
class EndingSignalsHeld {
 public:
  EndingSignalsHeld() {
    sigset_t held;
    sigemptyset(&held);
    for (const int signal : kEndingSignals) {
      sigaddset(&held, signal);
    }
    sigprocmask(SIG_BLOCK, &held, &previous_);
  }
  ~EndingSignalsHeld() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }
  EndingSignalsHeld(const EndingSignalsHeld&) = delete;
  EndingSignalsHeld& operator=(const EndingSignalsHeld&) = delete;

 private:
  sigset_t previous_;
};

void InstallHandlers() {
  struct sigaction action {};
  action.sa_handler = RemoveFileAndEnd;
  action.sa_flags = static_cast<int>(SA_RESETHAND);
  sigemptyset(&action.sa_mask);
  for (std::size_t i = 0; i < kEndingSignals.size(); ++i) {
    sigaction(kEndingSignals[i], nullptr, &previousActions[i]);
    // A signal ignored on purpose (nohup) stays ignored.
    if (previousActions[i].sa_handler != SIG_IGN) {
      sigaction(kEndingSignals[i], &action, nullptr);
    }
  }
}

void RestoreHandlers() {
  for (std::size_t i = 0; i < kEndingSignals.size(); ++i) {
    sigaction(kEndingSignals[i], &previousActions[i], nullptr);
  }
}

}  // namespace

TemporaryFile::TemporaryFile(const std::filesystem::path& folder) {
  std::string name = (folder / ".tavrel-XXXXXX").string();
  if (name.size() >= pendingPath.size()) {
    error_ = ENAMETOOLONG;
    return;
  }
  const EndingSignalsHeld held;
  const int descriptor = ::mkostemp(name.data(), O_CLOEXEC);
  if (descriptor < 0) {
    error_ = errno;
    return;
  }
  stream_ = ::fdopen(descriptor, "wb");
  if (stream_ == nullptr) {
    error_ = errno;
    ::close(descriptor);
    ::unlink(name.c_str());
    return;
  }
  std::memcpy(pendingPath.data(), name.c_str(), name.size() + 1);
  pathIsPending = 1;
  InstallHandlers();
  path_ = name;
}

TemporaryFile::~TemporaryFile() {
  if (!created()) {
    return;
  }
  if (stream_ != nullptr) {
    std::fclose(stream_);
  }
  const EndingSignalsHeld held;
  ::unlink(pendingPath.data());
  pathIsPending = 0;
  RestoreHandlers();
}

bool TemporaryFile::Close() {
  std::FILE* stream = std::exchange(stream_, nullptr);
  return stream != nullptr && std::fclose(stream) == 0;
}

}  // namespace tavrel_tool
