/* Calls every export and drops the status: each call must be refused. */
#include <orlesk.h>
#include <tavrel.h>

void IgnoreEveryStatus(void) {
  ApplySpeedEffectToWav(u"in.wav", u"out.wav", 100);
  StartRecordingWav(u"out.wav", 8000, 16);
  StopRecordingWav();
}
