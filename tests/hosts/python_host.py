"""Calling libtavrel and liborlesk from Python 3 with ctypes (standard library only).

The exports take paths as null-terminated UTF-16 and numbers as 32-bit
integers, and return a 32-bit status; 999 is success. ctypes' c_wchar_p is
UTF-16 only on Windows: on Linux it is UTF-32, which the library reads as
another path (for "/home/a.wav", just "/") and refuses with status 2 or 3.
Paths are therefore encoded here, the same way on every system.

What each status means is written once, in the C headers, as the text of
TavrelStatusMessage() and OrleskStatusMessage(). Those are inline C
functions, which only a host that compiles C can call, so the messages are
read from the header itself instead of being copied out by hand.

    tavrel = Tavrel("libtavrel.so.1", "/usr/include/tavrel.h")
    status = tavrel.apply_speed_effect("in.wav", "fast.wav", 150)
    if status != tavrel.SUCCESS:
        print(tavrel.message(status))
"""
import ctypes
import os
import re
import sys

# A path argument: a pointer to 16-bit code units, or None for a null path.
PATH = ctypes.POINTER(ctypes.c_uint16)


def utf16_path(path):
    """A path as the libraries take it: null-terminated UTF-16 code units."""
    if path is None:
        return None
    # The code units are in the machine's byte order (char16_t / wchar_t).
    encoding = "utf-16-le" if sys.byteorder == "little" else "utf-16-be"
    units = (os.fsdecode(path) + "\0").encode(encoding)
    return (ctypes.c_uint16 * (len(units) // 2)).from_buffer_copy(units)


def load_library(path):
    # WinDLL calls __stdcall, the convention of the 32-bit Windows exports
    # (on 64-bit Windows there is only one); CDLL elsewhere.
    loader = ctypes.WinDLL if sys.platform == "win32" else ctypes.CDLL
    return loader(os.fspath(path))


def status_messages(header_path, prefix):
    """{status: message} as the header's message function returns them.

    Reads the header's "#define PREFIX_SUCCESS 999" lines and the message
    function's "case PREFIX_...: return "..." "...";" branches.
    """
    with open(header_path, encoding="utf-8") as header:
        text = header.read()
    values = {name: int(value) for name, value in re.findall(
        r"^#define (%s(?:SUCCESS|ERROR_\w+))\s+(-?\d+)" % prefix, text, re.MULTILINE)}
    messages = {}
    for name, literals in re.findall(
            r'case (%s\w+):\s*return ((?:"[^"]*"\s*)+);' % prefix, text):
        messages[values[name]] = "".join(re.findall(r'"([^"]*)"', literals))
    return messages


class Tavrel:
    SUCCESS = 999

    def __init__(self, library_path, header_path):
        self._apply = load_library(library_path).ApplySpeedEffectToWav
        self._apply.argtypes = [PATH, PATH, ctypes.c_int32]
        self._apply.restype = ctypes.c_int32
        self.messages = status_messages(header_path, "TAVREL_")

    def apply_speed_effect(self, source, destination, speed):
        return self._apply(utf16_path(source), utf16_path(destination), speed)

    def message(self, status):
        return self.messages.get(status, "unknown status")


class Orlesk:
    SUCCESS = 999

    def __init__(self, library_path, header_path):
        library = load_library(library_path)
        self._start = library.StartRecordingWav
        self._start.argtypes = [PATH, ctypes.c_int32, ctypes.c_int32]
        self._start.restype = ctypes.c_int32
        self._stop = library.StopRecordingWav
        self._stop.argtypes = []
        self._stop.restype = ctypes.c_int32
        self.messages = status_messages(header_path, "ORLESK_")

    def start_recording(self, path, sample_rate, bits_per_sample):
        return self._start(utf16_path(path), sample_rate, bits_per_sample)

    def stop_recording(self):
        return self._stop()

    def message(self, status):
        return self.messages.get(status, "unknown status")
