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

// SIGPIPE too: a reader of standard output that goes away ends the
// process as usual, without leaving files behind.
constexpr std::array<int, 4> kEndingSignals = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

// What the signal handler needs, set up before a file exists and cleared
// after it is gone, with those signals blocked meanwhile.
struct PendingPath {
  std::array<char, 4096> path;
  volatile std::sig_atomic_t pending;
};
constexpr std::size_t kFilesAtMost = 3;
std::array<PendingPath, kFilesAtMost> pendingPaths{};
std::size_t filesPending = 0;
std::array<struct sigaction, kEndingSignals.size()> previousActions{};

extern "C" void RemoveFilesAndEnd(int signal) {
  for (const PendingPath& file : pendingPaths) {
    if (file.pending != 0) {
      ::unlink(file.path.data());
    }
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
  action.sa_handler = RemoveFilesAndEnd;
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
  if (name.size() >= pendingPaths[0].path.size()) {
    error_ = ENAMETOOLONG;
    return;
  }
  const EndingSignalsHeld held;
  slot_ = 0;
  while (slot_ < kFilesAtMost && pendingPaths[slot_].pending != 0) {
    ++slot_;
  }
  if (slot_ == kFilesAtMost) {
    error_ = EMFILE;
    return;
  }
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
  std::memcpy(pendingPaths[slot_].path.data(), name.c_str(), name.size() + 1);
  pendingPaths[slot_].pending = 1;
  if (filesPending++ == 0) {
    InstallHandlers();
  }
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
  ::unlink(path_.c_str());
  Forget();
}

bool TemporaryFile::Close() {
  std::FILE* stream = std::exchange(stream_, nullptr);
  return stream != nullptr && std::fclose(stream) == 0;
}

void TemporaryFile::Release() {
  if (!created()) {
    return;
  }
  if (stream_ != nullptr) {
    std::fclose(std::exchange(stream_, nullptr));
  }
  const EndingSignalsHeld held;
  Forget();
  path_.clear();
}

void TemporaryFile::Forget() {
  pendingPaths[slot_].pending = 0;
  if (--filesPending == 0) {
    RestoreHandlers();
  }
}

}  // namespace tavrel_tool
