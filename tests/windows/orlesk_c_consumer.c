/*
 * Links orlesk.dll from C through its import library, as a Windows host's
 * build would: the header's __stdcall declarations and the import
 * library's decorated names must agree on x86 for this to link. Calls the
 * two exports in ways that need no input device.
 */
#include <stdio.h>

#include <orlesk.h>

int main(void) {
  const int32_t stopped = StopRecordingWav();
  const int32_t refused = StartRecordingWav(NULL, 8000, 16);
  if (stopped != ORLESK_ERROR_NOT_RECORDING || refused != ORLESK_ERROR_FILE) {
    fprintf(stderr, "orlesk_c_consumer: stop gave %ld (%s), start with no path %ld (%s)\n",
            (long)stopped, OrleskStatusMessage(stopped), (long)refused,
            OrleskStatusMessage(refused));
    return 1;
  }
  printf("orlesk_c_consumer: ok\n");
  return 0;
}
