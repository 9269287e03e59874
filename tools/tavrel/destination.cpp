#include "destination.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace tavrel_tool {

namespace {

namespace fs = std::filesystem;

constexpr int kLinksAtMost = 40;  // as the kernel follows
constexpr mode_t kPermissionBits = S_IRWXU | S_IRWXG | S_IRWXO;
constexpr std::size_t kBlockSize = std::size_t{1} << 18;

std::string Failure(const std::string& what, int error) {
  return what + ": " + std::strerror(error);
}

fs::path SystemTemporaryFolder() {
  std::error_code unknown;
  const fs::path folder = fs::temp_directory_path(unknown);
  return unknown ? fs::path("/tmp") : folder;
}

fs::path FolderOf(const fs::path& file) {
  return file.has_parent_path() ? file.parent_path() : fs::path(".");
}

// What a new file gets from open(..., 0666), as the library creates one.
mode_t NewFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

bool WriteAll(int out, const char* bytes, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(out, bytes, size);
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      errno = written == 0 ? EIO : errno;
      return false;
    }
    bytes += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

}  // namespace

Destination FindDestination(const std::string& destination) {
  Destination found;
  found.folder = SystemTemporaryFolder();
  if (destination == "-") {
    found.way = Destination::Way::kStandardOutput;
    return found;
  }
  struct stat status {};
  if (::stat(destination.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
    return found;
  }
  // Symbolic links are followed to the file they name, which is replaced;
  // the links stay. The links in /proc name open files rather than paths
  // (/dev/stdout leads to /proc/self/fd/1, which may be a file opened for
  // appending): such a file is written as it is.
  fs::path file = destination;
  for (int links = 0; ::lstat(file.c_str(), &status) == 0 && S_ISLNK(status.st_mode); ++links) {
    std::error_code unknown;
    const fs::path target = fs::read_symlink(file, unknown);
    if (links == kLinksAtMost || unknown ||
        fs::canonical(FolderOf(file), unknown).string().rfind("/proc/", 0) == 0) {
      return found;
    }
    file = target.is_absolute() ? target : FolderOf(file) / target;
  }
  const bool exists = ::stat(file.c_str(), &status) == 0;
  found.way = Destination::Way::kReplace;
  found.file = file;
  found.folder = FolderOf(file);
  found.mode = exists ? status.st_mode & kPermissionBits : NewFileMode();
  found.writable = !exists || ::access(file.c_str(), W_OK) == 0;
  return found;
}

std::optional<std::string> Deliver(const Destination& destination, TemporaryFile& finished) {
  switch (destination.way) {
    case Destination::Way::kDirect: return std::nullopt;
    case Destination::Way::kStandardOutput: return CopyToStandardOutput(finished.path());
    case Destination::Way::kReplace: break;
  }
  if (::chmod(finished.path().c_str(), destination.mode) != 0) {
    return Failure("cannot give '" + finished.path().string() + "' the destination's permissions",
                   errno);
  }
  if (std::rename(finished.path().c_str(), destination.file.c_str()) != 0) {
    return Failure("cannot rename '" + finished.path().string() + "' to '" +
                       destination.file.string() + "'",
                   errno);
  }
  finished.Release();
  return std::nullopt;
}

std::optional<std::string> CopyToStandardOutput(const fs::path& path, int out) {
  const int in = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) {
    return Failure("cannot read '" + path.string() + "'", errno);
  }
  std::vector<char> block(kBlockSize);
  std::optional<std::string> failure;
  for (;;) {
    const ssize_t got = ::read(in, block.data(), block.size());
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got < 0) {
      failure = Failure("cannot read '" + path.string() + "'", errno);
      break;
    }
    if (got == 0) {
      break;
    }
    if (!WriteAll(out, block.data(), static_cast<std::size_t>(got))) {
      failure = Failure("writing to standard output failed", errno);
      break;
    }
  }
  ::close(in);
  return failure;
}

}  // namespace tavrel_tool
