/*
 * orlesk.h - record mono PCM audio from the default input device to a WAV file.
 *
 * StartRecordingWav opens the default capture device, creates the file and
 * writes a 44-byte header with zero sizes; from then on the captured audio is
 * appended 100 ms at a time on the library's capture thread. StopRecordingWav
 * stops the device and patches the header's sizes, so the finished file can
 * be handed straight to tavrel.
 *
 * There is one recording per process. Start and stop may be called from any
 * thread; they are serialised against each other. If the library is unloaded,
 * or the process exits, while a recording runs, it is stopped as
 * StopRecordingWav would stop it, so the file is always finalised.
 *
 * The library prints nothing and reads no configuration of its own (alsa-lib
 * reads its usual configuration to find the "default" device).
 */
#ifndef ORLESK_H
#define ORLESK_H

#include <stdint.h>
#ifndef __cplusplus
#include <uchar.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

#if defined(ORLESK_BUILDING_LIBRARY)
#define ORLESK_API __attribute__((visibility("default")))
#else
#define ORLESK_API
#endif

#define ORLESK_SUCCESS                 999 /* started, or stopped with the file complete and closed */
#define ORLESK_ERROR_ALREADY_RECORDING  -1 /* start: a recording is running; it goes on untouched */
#define ORLESK_ERROR_DEVICE             -2 /* start: the input device refused to open in this format; no file was touched */
#define ORLESK_ERROR_FILE               -3 /* start: the path is null, not valid UTF-16, longer than 251 UTF-8 bytes, or the file cannot be created and written */
#define ORLESK_ERROR_NO_BUFFER          -4 /* start: 100 ms of audio is less than one frame or cannot be allocated; the file is left as an empty WAV */
#define ORLESK_ERROR_NOT_RECORDING       2 /* stop: no recording was running; nothing changed */
#define ORLESK_ERROR_WRITE               3 /* stop: writing the file failed (disk full, I/O error); recording stopped, the file holds the audio written before the failure, with matching sizes */

/*
 * Starts recording mono PCM from the default input device into `path`
 * (null-terminated UTF-16; created, or truncated if it exists) at
 * `sampleRate` frames per second and `bitsPerSample` bits (8, 16, 24 or 32).
 * Returns ORLESK_SUCCESS or one of the start errors above.
 */
ORLESK_API int32_t StartRecordingWav(const char16_t *path, int32_t sampleRate,
                                     int32_t bitsPerSample);

/*
 * Stops the running recording, writes the header's sizes and closes the file.
 * Returns ORLESK_SUCCESS, ORLESK_ERROR_NOT_RECORDING or ORLESK_ERROR_WRITE.
 */
ORLESK_API int32_t StopRecordingWav(void);

#ifdef __cplusplus
}
#endif

#endif /* ORLESK_H */
