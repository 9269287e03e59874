/*
 * tavrel.h - change the speed or the tempo of a PCM WAV file.
 *
 * One call reads a PCM WAV file (44-byte header, then frames), resamples its
 * frames block by block and writes a new file whose sample rate and byte
 * rate are scaled by the same percentage. At 200 the result holds half as
 * many frames and declares twice the rate; at 50, twice as many frames at
 * half the rate. Both changes act on playback, so a player runs the sound
 * (speed / 100)^2 times as fast: at 200, a 2 s file lasts 0.5 s.
 *
 * A second call, ApplyTempoEffectToWav, changes the tempo and keeps the
 * pitch: the rates stay, and the frames are cut into short pieces that are
 * repeated or skipped where the sound is most alike, so a voice speaks
 * faster or slower at its own pitch.
 *
 * The call is synchronous, keeps no state and may run on several threads at
 * once for different files. It prints nothing and reads no configuration.
 */
#ifndef TAVREL_H
#define TAVREL_H

#include <stdint.h>

#define TAVREL_VERSION_MAJOR 1
#define TAVREL_VERSION_MINOR 0
#define TAVREL_VERSION_PATCH 0

/*
 * TavrelPathChar: one UTF-16 code unit of a path. On Windows that is wchar_t
 * (16 bits there), so L"..." strings and the system's own wide strings pass
 * straight through; elsewhere it is char16_t, as wchar_t is 32 bits there
 * (a host in another language must not pass its UTF-32 "wide" strings).
 * Both are the same bytes.
 * TAVREL_CALL: the export's calling convention, the system's standard one
 * for exported functions (__stdcall on 32-bit Windows; x64 and Linux have
 * only one). TAVREL_API: how a caller sees the export (imported from
 * tavrel.dll on Windows). The library's own build exports by its
 * module-definition file instead of dllexport, which on 32-bit Windows
 * would also export the decorated name "ApplySpeedEffectToWav@12".
 */
#if defined(_WIN32)
#include <stddef.h>
typedef wchar_t TavrelPathChar;
#define TAVREL_CALL __stdcall
#if defined(TAVREL_BUILDING_LIBRARY)
#define TAVREL_API
#else
#define TAVREL_API __declspec(dllimport)
#endif
#else
#ifndef __cplusplus
#include <uchar.h>
#endif
typedef char16_t TavrelPathChar;
#define TAVREL_CALL
#if defined(TAVREL_BUILDING_LIBRARY)
#define TAVREL_API __attribute__((visibility("default")))
#else
#define TAVREL_API
#endif
#endif

#if defined(__GNUC__) || defined(__clang__)
#define TAVREL_MUST_CHECK __attribute__((warn_unused_result))
#else
#define TAVREL_MUST_CHECK
#endif

/*
 * The statuses ApplySpeedEffectToWav and ApplyTempoEffectToWav return. What each one means, and what
 * it leaves on disk, is written once: in TavrelStatusMessage() below, whose
 * text is meant to be shown to people as it is.
 */
#define TAVREL_SUCCESS            999
#define TAVREL_ERROR_SPEED          1
#define TAVREL_ERROR_SOURCE         2
#define TAVREL_ERROR_DESTINATION    3
#define TAVREL_ERROR_SHORT_HEADER   4
#define TAVREL_ERROR_NO_MEMORY      5
#define TAVREL_ERROR_UNSUPPORTED    6
#define TAVREL_ERROR_IO             7

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Writes `destination` from `source` at `speed` percent (100 unchanged, below
 * 100 slower, above 100 faster): about 100 / speed times as many frames and
 * rates multiplied by speed / 100. Both paths are null-terminated UTF-16.
 * Returns one of the TAVREL_ statuses above.
 */
TAVREL_API TAVREL_MUST_CHECK int32_t TAVREL_CALL ApplySpeedEffectToWav(
    const TavrelPathChar *source, const TavrelPathChar *destination, int32_t speed);

/*
 * Writes `destination` from `source` at `speed` percent of the tempo (100
 * unchanged, below 100 slower, above 100 faster) with the pitch kept: the
 * same header, rates included, and exactly floor(N x 100 / speed) frames for
 * the source's N (at 100, the frames as they are). The same paths, source
 * rules, statuses and destination states as ApplySpeedEffectToWav; the
 * samples must be 8-, 16-, 24- or 32-bit integers at a rate of at least
 * 1 Hz (TAVREL_ERROR_UNSUPPORTED otherwise, except at 100). Exported at
 * ordinal 2 of tavrel.dll.
 */
TAVREL_API TAVREL_MUST_CHECK int32_t TAVREL_CALL ApplyTempoEffectToWav(
    const TavrelPathChar *source, const TavrelPathChar *destination, int32_t speed);

/*
 * The meaning of a status, in one line of English for a host to show or
 * log: what happened and what it left on disk. Never null; "unknown status"
 * for a value the library does not return. Compiled into the caller: the
 * library itself produces no text.
 */
static inline const char *TavrelStatusMessage(int32_t status) {
  switch (status) {
    case TAVREL_SUCCESS: return "done: the destination is complete and closed";
    case TAVREL_ERROR_SPEED: return "the speed must be at least 1 percent; no file was touched";
    case TAVREL_ERROR_SOURCE:
      return "the source cannot be opened: it is missing, unreadable or not a file, or its path is "
             "null or not valid UTF-16; the destination was neither created nor changed";
    case TAVREL_ERROR_DESTINATION:
      return "the destination cannot be created: its folder is missing, it is not writable, it is "
             "the source itself (under any name or link), or its path is null or not valid "
             "UTF-16; no file was truncated";
    case TAVREL_ERROR_SHORT_HEADER:
      return "the source is shorter than a 44-byte WAV header; the destination is empty";
    case TAVREL_ERROR_NO_MEMORY:
      return "not enough memory for the work buffers; the destination holds only the header, "
             "with the source's sizes";
    case TAVREL_ERROR_UNSUPPORTED:
      return "the source's header cannot be processed at this speed: below 100, its frames are "
             "narrower than their samples (channels x bits / 8 bytes), or a rate times speed / "
             "100 would not fit 32 bits or would make the sample rate 0 Hz (for the tempo "
             "effect at any speed but 100: frames narrower than their samples, no channel, "
             "samples other than 8, 16, 24 or 32 bits, or a rate of 0 Hz); the destination is "
             "empty";
    case TAVREL_ERROR_IO:
      return "reading the source or writing the destination failed (is the disk full?); the "
             "destination is incomplete";
    default: return "unknown status";
  }
}

#ifdef __cplusplus
}
#endif

#endif /* TAVREL_H */
