// The destination's writes and the source's length on Windows: the
// stream's file handle written directly, positioned writes through an
// OVERLAPPED offset (the handle is synchronous, so each call completes
// before it returns).
#include "file_streams.h"

#include <io.h>
#include <windows.h>

#include <algorithm>
#include <limits>

#include "positioned_file.h"

namespace tavrel {

namespace {

HANDLE HandleOf(int descriptor) { return reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor)); }

// Writes every byte at the file's position. WriteFile takes at most
// 4 GiB - 1 per call and may take fewer bytes than asked; both go on with
// the rest.
bool AppendAll(HANDLE file, const std::uint8_t* bytes, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const auto piece = static_cast<DWORD>(
        std::min<std::size_t>(size - done, std::numeric_limits<DWORD>::max()));
    DWORD written = 0;
    if (!::WriteFile(file, bytes + done, piece, &written, nullptr) || written == 0) {
      return false;
    }
    done += written;
  }
  return true;
}

}  // namespace

FileDestination::FileDestination(std::FILE* file) : descriptor_(::_fileno(file)) {}

bool FileDestination::Append(const std::uint8_t* bytes, std::size_t size) {
  return AppendAll(HandleOf(descriptor_), bytes, size);
}

bool FileDestination::WriteAt(std::uint64_t offset, const std::uint8_t* bytes, std::size_t size) {
  // A positioned write on a synchronous handle moves the file pointer too;
  // appends go on at the end, so put it back there afterwards.
  const HANDLE file = HandleOf(descriptor_);
  LARGE_INTEGER end{};
  return common::WriteAllAt(reinterpret_cast<std::intptr_t>(file), offset, bytes, size) == size &&
         ::SetFilePointerEx(file, LARGE_INTEGER{}, &end, FILE_END);
}

std::optional<std::uint64_t> RegularFileSize(std::FILE* file) {
  const HANDLE handle = HandleOf(::_fileno(file));
  LARGE_INTEGER size{};
  if (::GetFileType(handle) != FILE_TYPE_DISK || !::GetFileSizeEx(handle, &size)) {
    return std::nullopt;
  }
  return static_cast<std::uint64_t>(size.QuadPart);
}

}  // namespace tavrel
