// Files on Windows: opened by their UTF-16 path through CreateFileW, never
// through the ANSI code page, which has no room for most characters and
// turns them into '?'. Handles are not inherited, so a host that starts
// programs does not leak our files into them. The speed effect's files are
// shared for reading, writing and deletion, as on POSIX systems: whether a
// destination is the source is decided by identity, not by a sharing
// violation. A recording's file alone denies a second writer.
#include "open_files.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <optional>
#include <string>
#include <string_view>

#include "narrow_path.h"

namespace common {

namespace {

constexpr DWORD kShareEverything = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The path as CreateFileW takes it. Its rules are those of every platform:
// a null path or one that is not valid UTF-16 (an unpaired surrogate) names
// no file, so a host gets the same status everywhere.
std::optional<std::wstring> WidePath(const char16_t* path) {
  if (!NarrowPath(path)) {
    return std::nullopt;
  }
  std::wstring wide;
  for (const char16_t* unit = path; *unit != u'\0'; ++unit) {
    wide.push_back(static_cast<wchar_t>(*unit));
  }
  return wide;
}

// Volume serial number and file index: the same for every spelling of a
// file (other case, '/' for '\', a \\?\ prefix, an 8.3 name, a hard link).
bool IdentityOf(HANDLE file, FileIdentity& identity) {
  BY_HANDLE_FILE_INFORMATION information{};
  if (!::GetFileInformationByHandle(file, &information)) {
    return false;
  }
  identity = {information.dwVolumeSerialNumber,
              (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow};
  return true;
}

// Wraps an open handle in a stream; closes the handle on failure.
bool AdoptHandle(HANDLE file, int flags, const char* mode, FileStream& stream) {
  const int descriptor = ::_open_osfhandle(reinterpret_cast<intptr_t>(file), flags | _O_BINARY);
  if (descriptor < 0) {
    ::CloseHandle(file);
    return false;
  }
  std::FILE* opened = ::_fdopen(descriptor, mode);
  if (opened == nullptr) {
    ::_close(descriptor);
    return false;
  }
  stream = FileStream(opened);
  return true;
}

// Paths that name pipes, mailslots or devices rather than files in a
// folder: the device namespace (\\.\NAME), the NT namespace (\??\ and
// \\?\ followed by anything but a drive or UNC\), and the pipe and mailslot
// shares of any server (\\host\pipe\NAME), in any case and with '/' or '\'.
bool IsDeviceNamespace(const std::wstring& path) {
  std::wstring folded;
  for (wchar_t unit : path) {
    if (unit == L'/') {
      unit = L'\\';
    } else if (unit >= L'A' && unit <= L'Z') {
      unit = static_cast<wchar_t>(unit - L'A' + L'a');
    }
    folded.push_back(unit);
  }
  const auto startsWith = [&folded](std::wstring_view prefix) {
    return folded.compare(0, prefix.size(), prefix) == 0;
  };
  if (startsWith(L"\\\\.\\") || startsWith(L"\\??\\")) {
    return true;
  }
  std::wstring unc;
  if (startsWith(L"\\\\?\\")) {
    const std::wstring rest = folded.substr(4);
    if (rest.size() >= 3 && rest[1] == L':' && rest[2] == L'\\') {
      return false;
    }
    if (rest.compare(0, 4, L"unc\\") != 0) {
      return true;
    }
    unc = rest.substr(4);
  } else if (startsWith(L"\\\\")) {
    unc = folded.substr(2);
  } else {
    return false;
  }
  // server\share\...: the share decides.
  const std::size_t shareStart = unc.find(L'\\');
  if (shareStart == std::wstring::npos) {
    return false;
  }
  const std::wstring share = unc.substr(shareStart + 1, unc.find(L'\\', shareStart + 1) -
                                                            (shareStart + 1));
  return share == L"pipe" || share == L"mailslot";
}

}  // namespace

bool OpenFileForReading(const char16_t* path, FileStream& stream, FileIdentity& identity) {
  const std::optional<std::wstring> wide = WidePath(path);
  if (!wide) {
    return false;
  }
  // A directory cannot be opened without FILE_FLAG_BACKUP_SEMANTICS, so it
  // fails here. Opening a named pipe never waits: with no free instance it
  // fails at once.
  const HANDLE file = ::CreateFileW(wide->c_str(), GENERIC_READ, kShareEverything, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return false;
  }
  // Pipes and devices have no identity of their own; they cannot be the
  // destination's file either.
  if (::GetFileType(file) == FILE_TYPE_DISK && !IdentityOf(file, identity)) {
    ::CloseHandle(file);
    return false;
  }
  return AdoptHandle(file, _O_RDONLY, "rb", stream);
}

bool CreateFileForWriting(const char16_t* path, const FileIdentity* mustNotBe, FileStream& stream) {
  const std::optional<std::wstring> wide = WidePath(path);
  if (!wide) {
    return false;
  }
  // OPEN_ALWAYS creates the file or opens it as it is: it is only emptied
  // once it is known not to be the one that must be kept.
  const HANDLE file = ::CreateFileW(wide->c_str(), GENERIC_WRITE, kShareEverything, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return false;
  }
  bool refused = false;
  if (::GetFileType(file) == FILE_TYPE_DISK) {
    FileIdentity identity;
    refused = !IdentityOf(file, identity) || (mustNotBe != nullptr && identity == *mustNotBe) ||
              !::SetEndOfFile(file);
  }
  if (refused) {
    ::CloseHandle(file);
    return false;
  }
  return AdoptHandle(file, _O_WRONLY, "wb", stream);
}

bool OpenRegularFileForOneWriter(const char16_t* path, PositionedFile& file, bool& created) {
  const std::optional<std::wstring> wide = WidePath(path);
  if (!wide) {
    return false;
  }
  // Pipes and devices are refused unasked: even reading a pipe's
  // attributes can connect to its server, and a port may wait for a
  // carrier. A directory is never opened.
  if (IsDeviceNamespace(*wide)) {
    return false;
  }
  const DWORD attributes = ::GetFileAttributesW(wide->c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return false;
  }
  // Created only when missing, so that a start that does not go ahead
  // knows whether the file is its own to remove. Writing is not shared: a
  // second writer gets a sharing violation before it can truncate
  // anything, while readers that share writing (as the C runtime's fopen
  // does) read on. No right to delete is held: readers that do not share
  // deletion would be shut out.
  constexpr DWORD kShareWithReaders = FILE_SHARE_READ | FILE_SHARE_DELETE;
  HANDLE handle = ::CreateFileW(wide->c_str(), GENERIC_WRITE, kShareWithReaders, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  created = handle != INVALID_HANDLE_VALUE;
  if (!created && ::GetLastError() == ERROR_FILE_EXISTS) {
    handle = ::CreateFileW(wide->c_str(), GENERIC_WRITE, kShareWithReaders, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  if (handle == INVALID_HANDLE_VALUE) {
    return false;
  }
  // A reserved name (NUL, CON, COM1, "nul.wav") opens a device: it has no
  // offsets to write at.
  if (::GetFileType(handle) != FILE_TYPE_DISK) {
    ::CloseHandle(handle);
    return false;
  }
  file = PositionedFile::Adopt(reinterpret_cast<std::intptr_t>(handle));
  return true;
}

void CloseAndRemove(const char16_t* path, PositionedFile& file) {
  // Removed through a handle of its own, opened for deletion alone, and
  // only when it is the same file: whatever has taken its place at the
  // path meanwhile is left alone. Marked for deletion, the file goes when
  // the last handle closes.
  const std::optional<std::wstring> wide = WidePath(path);
  FileIdentity ours;
  if (wide && IdentityOf(reinterpret_cast<HANDLE>(file.handle()), ours)) {
    const HANDLE named = ::CreateFileW(wide->c_str(), DELETE, kShareEverything, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (named != INVALID_HANDLE_VALUE) {
      FileIdentity theirs;
      if (IdentityOf(named, theirs) && theirs == ours) {
        FILE_DISPOSITION_INFO disposition{};
        disposition.DeleteFile = TRUE;
        ::SetFileInformationByHandle(named, FileDispositionInfo, &disposition,
                                     sizeof disposition);
      }
      ::CloseHandle(named);
    }
  }
  file.Close();
}

FileAtPath CheckFileAtPath(const char16_t* path, const PositionedFile& file,
                           std::uint64_t expectedSize) {
  const auto handle = reinterpret_cast<HANDLE>(file.handle());
  BY_HANDLE_FILE_INFORMATION opened{};
  FileIdentity ours;
  if (!::GetFileInformationByHandle(handle, &opened) || !IdentityOf(handle, ours)) {
    return FileAtPath::kInPlace;
  }
  // Deleted while open, a file keeps its name until its last handle
  // closes, but is marked for deletion.
  FILE_STANDARD_INFO standard{};
  if (::GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard) &&
      standard.DeletePending) {
    return FileAtPath::kGone;
  }
  const std::optional<std::wstring> wide = WidePath(path);
  if (wide) {
    // Only the attributes are read: no share mode, ours or anyone's,
    // stands in the way.
    const HANDLE named = ::CreateFileW(wide->c_str(), FILE_READ_ATTRIBUTES, kShareEverything,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (named == INVALID_HANDLE_VALUE) {
      // A file deleted while open is "delete pending" until the last
      // handle closes: opening it is denied.
      const DWORD error = ::GetLastError();
      return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
                     error == ERROR_ACCESS_DENIED
                 ? FileAtPath::kGone
                 : FileAtPath::kInPlace;
    }
    FileIdentity theirs;
    const bool same = IdentityOf(named, theirs) && theirs == ours;
    ::CloseHandle(named);
    if (!same) {
      return FileAtPath::kGone;
    }
  }
  const std::uint64_t size = (std::uint64_t{opened.nFileSizeHigh} << 32) | opened.nFileSizeLow;
  return size < expectedSize ? FileAtPath::kShortened : FileAtPath::kInPlace;
}

}  // namespace common
