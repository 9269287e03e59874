#include "paced_report.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace paced_device {

int WriteCaptureReport(const std::string& path, const CaptureCounts& counts) {
  char text[256];
  const int length = std::snprintf(
      text, sizeof text, "frames_arrived %llu\nframes_read %llu\nframes_lost %llu\noverruns %llu\n",
      static_cast<unsigned long long>(counts.framesArrived),
      static_cast<unsigned long long>(counts.framesRead),
      static_cast<unsigned long long>(counts.framesLost),
      static_cast<unsigned long long>(counts.overruns));
  const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (descriptor < 0) {
    return -errno;
  }
  const ssize_t written = ::write(descriptor, text, static_cast<std::size_t>(length));
  const int error = written == length ? 0 : (written < 0 ? -errno : -EIO);
  if (::close(descriptor) != 0 && error == 0) {
    return -errno;
  }
  return error;
}

}  // namespace paced_device
