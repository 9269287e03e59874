/*
 * orlesk.h - record mono PCM audio from the default input device to a WAV file.
 *
 * StartRecordingWav opens the default capture device and the file, and once
 * nothing else can stop the recording, empties the file to a 44-byte header
 * with zero sizes. From then on the device's capture thread hands the
 * audio, 100 ms at a time, to a queue that holds at least 5 s, and a
 * writer thread appends it to the file: a slow disk
 * costs no audio unless it stalls for longer than the queue lasts. While
 * recording, the header's sizes are brought up to date at least once a
 * second, so a recording cut short by a crash or SIGKILL still reads as
 * all but its last second. StopRecordingWav keeps every frame captured
 * before the call, patches the sizes and closes the file, so the finished
 * file can be handed straight to tavrel.
 *
 * There is one recording per process. Start and stop may be called from any
 * thread; they are serialised against each other. If the library is unloaded,
 * or the process exits, while a recording runs, it is stopped as
 * StopRecordingWav would stop it, so the file is always finalised (Windows:
 * see below). A child
 * made by fork() never touches its parent's recording: there, Start returns
 * ORLESK_ERROR_ALREADY_RECORDING, Stop ORLESK_ERROR_NOT_RECORDING, and exit
 * leaves the recording alone.
 *
 * No call waits on opening the file: a path that names anything but a
 * regular file (a FIFO, a device) is refused at once. A recording is its
 * file's one writer: a second recording of the same file, in this process
 * or another, is refused before it touches the file, while readers (sox, a
 * player) read on. A start that does not go ahead removes a file it
 * created and leaves one that was there as it was (short of a header
 * that could not be written over it once it was emptied).
 *
 * Nothing passes for success that is not: before each write the file is
 * checked against what was written to it, and once someone else truncated,
 * replaced or removed it, nothing more is written there and Stop returns
 * ORLESK_ERROR_WRITE. A device that delivers clearly fewer frames than the
 * clock calls for (less than nine tenths of them over any stretch, give or
 * take a second's worth), and a recording that reaches the most a WAV
 * header can declare (4 GiB: the file ends there, in whole frames), make
 * Stop return ORLESK_ERROR_AUDIO_LOST.
 *
 * On Windows (orlesk.dll) the device is the wave-input API's default one
 * (WAVE_MAPPER) and paths are opened by their UTF-16 form. Once a recording
 * has started the DLL stays loaded until the process ends (FreeLibrary
 * leaves it, and the recording, in place; loading it again gives both
 * back), because unloading would have to wait for the recorder's threads
 * under the loader lock. A process that ends while recording leaves the
 * file with sizes that match the audio written to it by then (all but at
 * most its last second).
 *
 * The library prints nothing and reads no configuration of its own (alsa-lib
 * reads its usual configuration to find the "default" device).
 */
#ifndef ORLESK_H
#define ORLESK_H

#include <stdint.h>

#define ORLESK_VERSION_MAJOR 1
#define ORLESK_VERSION_MINOR 0
#define ORLESK_VERSION_PATCH 0

/*
 * OrleskPathChar: one UTF-16 code unit of a path. On Windows that is wchar_t
 * (16 bits there), so L"..." strings and the system's own wide strings pass
 * straight through; elsewhere it is char16_t, as wchar_t is 32 bits there
 * (a host in another language must not pass its UTF-32 "wide" strings).
 * Both are the same bytes.
 * ORLESK_CALL: the export's calling convention, the system's standard one
 * for exported functions (__stdcall on 32-bit Windows; x64 and Linux have
 * only one). ORLESK_API: how a caller sees the export (imported from
 * orlesk.dll on Windows). The library's own build exports by its
 * module-definition file instead of dllexport, which on 32-bit Windows
 * would also export the decorated name "StartRecordingWav@12".
 */
#if defined(_WIN32)
#include <stddef.h>
typedef wchar_t OrleskPathChar;
#define ORLESK_CALL __stdcall
#if defined(ORLESK_BUILDING_LIBRARY)
#define ORLESK_API
#else
#define ORLESK_API __declspec(dllimport)
#endif
#else
#ifndef __cplusplus
#include <uchar.h>
#endif
typedef char16_t OrleskPathChar;
#define ORLESK_CALL
#if defined(ORLESK_BUILDING_LIBRARY)
#define ORLESK_API __attribute__((visibility("default")))
#else
#define ORLESK_API
#endif
#endif

#if defined(__GNUC__) || defined(__clang__)
#define ORLESK_MUST_CHECK __attribute__((warn_unused_result))
#else
#define ORLESK_MUST_CHECK
#endif

/*
 * The statuses of StartRecordingWav and StopRecordingWav. What each one
 * means, and what it leaves on disk, is written once: in
 * OrleskStatusMessage() below, whose text is meant to be shown to people as
 * it is.
 */
#define ORLESK_SUCCESS                 999
/* Only from StartRecordingWav: */
#define ORLESK_ERROR_ALREADY_RECORDING  -1
#define ORLESK_ERROR_DEVICE             -2
#define ORLESK_ERROR_FILE               -3
#define ORLESK_ERROR_NO_BUFFER          -4
/* Only from StopRecordingWav: */
#define ORLESK_ERROR_NOT_RECORDING       2
#define ORLESK_ERROR_WRITE               3
#define ORLESK_ERROR_AUDIO_LOST          4

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Starts recording mono PCM from the default input device into `path`
 * (null-terminated UTF-16; created, or emptied if it exists once the
 * recording is sure to start) at
 * `sampleRate` frames per second and `bitsPerSample` bits (8, 16, 24 or 32).
 * Returns ORLESK_SUCCESS or one of the start errors above.
 */
ORLESK_API ORLESK_MUST_CHECK int32_t ORLESK_CALL StartRecordingWav(const OrleskPathChar *path,
                                                                   int32_t sampleRate,
                                                                   int32_t bitsPerSample);

/*
 * Stops the running recording, writes the header's sizes and closes the file.
 * Returns ORLESK_SUCCESS, ORLESK_ERROR_NOT_RECORDING, ORLESK_ERROR_WRITE or
 * ORLESK_ERROR_AUDIO_LOST.
 */
ORLESK_API ORLESK_MUST_CHECK int32_t ORLESK_CALL StopRecordingWav(void);

/*
 * The meaning of a status, in one line of English for a host to show or
 * log: what happened and what it left on disk. Never null; "unknown status"
 * for a value the library does not return. Compiled into the caller: the
 * library itself produces no text.
 */
static inline const char *OrleskStatusMessage(int32_t status) {
  switch (status) {
    case ORLESK_SUCCESS:
      return "done: the recording started, or it stopped with the file complete and closed";
    case ORLESK_ERROR_ALREADY_RECORDING:
      return "a recording is already running in this process (or in the one it was forked from); "
             "it goes on untouched";
    case ORLESK_ERROR_DEVICE:
      return "the default input device cannot record in this format (bits must be 8, 16, 24 or 32; "
             "is there a capture device?); no file was touched";
    case ORLESK_ERROR_FILE:
      return "the file cannot be created: its folder is missing or not writable, the disk is "
             "full, it is not a regular file, another recording is writing it, or the path is "
             "null, not valid UTF-16 or longer than 251 bytes in UTF-8";
    case ORLESK_ERROR_NO_BUFFER:
      return "this rate and depth give no whole frame in 100 ms, or the buffer, the 5 s queue or "
             "the writer thread cannot be had; no file is created, and one that was there is left "
             "as it was";
    case ORLESK_ERROR_NOT_RECORDING:
      return "no recording was running in this process; nothing changed";
    case ORLESK_ERROR_WRITE:
      return "writing the file failed (disk full?), or someone else truncated, replaced or removed "
             "it; the recording stopped and the file holds the audio recorded before the failure, "
             "with matching sizes (a file changed by someone else is left as they left it)";
    case ORLESK_ERROR_AUDIO_LOST:
      return "audio was lost: the device overran, failed, gave nothing for 2 s or delivered far "
             "fewer frames than the clock calls for, the disk stalled longer than the 5 s queue "
             "lasts, or the file reached the 4 GiB a WAV header can declare; the recording stopped "
             "and the file is complete, with every frame it took, in order";
    default: return "unknown status";
  }
}

#ifdef __cplusplus
}
#endif

#endif /* ORLESK_H */
