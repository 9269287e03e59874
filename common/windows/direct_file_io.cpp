// The stream's file handle written directly. The handle is synchronous, so
// each call completes before it returns.
#include "direct_file_io.h"

#include <io.h>

#include "write_fully.h"

namespace common {

namespace {

HANDLE HandleOf(std::FILE* file) {
  return reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(file)));
}

}  // namespace

std::optional<std::uint64_t> RegularFileSize(std::FILE* file) {
  const HANDLE handle = HandleOf(file);
  LARGE_INTEGER size{};
  if (::GetFileType(handle) != FILE_TYPE_DISK || !::GetFileSizeEx(handle, &size)) {
    return std::nullopt;
  }
  return static_cast<std::uint64_t>(size.QuadPart);
}

bool AppendDirectly(std::FILE* file, const std::uint8_t* bytes, std::size_t size) {
  return windows::WriteFully(HandleOf(file), bytes, size, nullptr) == size;
}

bool OverwriteDirectly(std::FILE* file, std::uint64_t offset, const std::uint8_t* bytes,
                       std::size_t size) {
  // A positioned write on a synchronous handle moves the file pointer too;
  // appends go on at the end, so put it back there afterwards.
  const HANDLE handle = HandleOf(file);
  LARGE_INTEGER end{};
  return windows::WriteFully(handle, bytes, size, &offset) == size &&
         ::SetFilePointerEx(handle, LARGE_INTEGER{}, &end, FILE_END);
}

}  // namespace common
