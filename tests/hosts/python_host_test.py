"""Runs the Python host example (python_host.py) against the built libraries.

    python3 python_host_test.py STATUS_MESSAGES INCLUDE_DIR LIBTAVREL [LIBORLESK]

STATUS_MESSAGES is the program that prints what the headers' message
functions return; the example's reading of the headers must agree with it.
"""
import ctypes
import os
import struct
import subprocess
import sys
import tempfile

# The example is imported from the source tree, which must stay clean.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import python_host  # noqa: E402

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def canonical_wav(rate, samples):
    """A 44-byte header and 16-bit mono frames."""
    data = struct.pack("<%dh" % len(samples), *samples)
    return (b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVEfmt "
            + struct.pack("<IHHIIHH", 16, 1, 1, rate, rate * 2, 2, 16)
            + b"data" + struct.pack("<I", len(data)) + data)


def check_messages(status_messages, include):
    printed = subprocess.run([status_messages], check=True, capture_output=True,
                             text=True).stdout.splitlines()
    for library, prefix in (("tavrel", "TAVREL_"), ("orlesk", "ORLESK_")):
        expected = {}
        for line in printed:
            name, status, message = line.split(" ", 2)
            if name == library:
                expected[int(status)] = message
        read = python_host.status_messages(os.path.join(include, library + ".h"), prefix)
        check(len(expected) == 8 and read == expected,
              "%s.h read as %r, its message function gives %r" % (library, read, expected))


def check_speed_effect(libtavrel, include, folder):
    tavrel = python_host.Tavrel(libtavrel, os.path.join(include, "tavrel.h"))
    # Accents, CJK and a character beyond the BMP (a surrogate pair in UTF-16).
    source = os.path.join(folder, "höhe-日本-\U0001D11E.wav")
    destination = os.path.join(folder, "schnell-日本-\U0001D11E.wav")
    samples = [(n * 37) % 65536 - 32768 for n in range(2048)]
    with open(source, "wb") as f:
        f.write(canonical_wav(8000, samples))

    status = tavrel.apply_speed_effect(source, destination, 200)
    check(status == tavrel.SUCCESS, "speed 200 gave %d: %s" % (status, tavrel.message(status)))
    if status == tavrel.SUCCESS:
        with open(destination, "rb") as f:
            written = f.read()
        # Every second frame, declared at twice the rate.
        check(written == canonical_wav(16000, samples[::2]), "the output at 200 is not as expected")

    status = tavrel.apply_speed_effect(source, destination, 0)
    check(status == 1 and tavrel.message(status).startswith("the speed must be at least 1"),
          "speed 0 gave %d: %s" % (status, tavrel.message(status)))

    # The mistake the example avoids: c_wchar_p is UTF-32 on Linux.
    if sys.platform != "win32":
        wide = python_host.load_library(libtavrel).ApplySpeedEffectToWav
        wide.argtypes = [ctypes.c_wchar_p, ctypes.c_wchar_p, ctypes.c_int32]
        wide.restype = ctypes.c_int32
        if os.path.exists(destination):
            os.remove(destination)
        status = wide(source, destination, 150)
        check(status == 2 and not os.path.exists(destination),
              "c_wchar_p paths gave %d, not 2" % status)


def check_recorder(orlesk):
    # Statuses that need no capture device: nothing to stop, and paths
    # refused before the device is opened.
    status = orlesk.stop_recording()
    check(status == 2 and orlesk.message(status).startswith("no recording was running"),
          "stop gave %d: %s" % (status, orlesk.message(status)))
    for path in (None, "é" * 126 + ".wav"):  # null; 256 bytes in UTF-8
        status = orlesk.start_recording(path, 8000, 16)
        check(status == -3 and orlesk.message(status).startswith("the file cannot be created")
              and not (path and os.path.exists(path)),
              "start with %r gave %d: %s" % (path, status, orlesk.message(status)))
    check(orlesk.message(12345) == "unknown status", "an unknown status has a message")


def main():
    status_messages, include, libtavrel = sys.argv[1:4]
    check_messages(status_messages, include)
    with tempfile.TemporaryDirectory() as folder:
        check_speed_effect(libtavrel, include, folder)
    if len(sys.argv) > 4:
        check_recorder(python_host.Orlesk(sys.argv[4], os.path.join(include, "orlesk.h")))
    for failure in failures:
        print("FAILED:", failure)
    print("python host example: %s" % ("failed" if failures else "ok"))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
