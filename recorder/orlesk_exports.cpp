// The exported entry points and the process's one recorder. Nothing may be
// thrown across the C boundary.
#include "host_path.h"
#include "library_lifetime.h"
#include "orlesk.h"
#include "platform_capture_system.h"
#include "recorder.h"

namespace {

// Both are constant-initialised: loading the library runs no code. The
// recorder's destructor runs when the library is unloaded or the process
// exits, and stops a recording the host left running.
constinit orlesk::PlatformCaptureSystem captureSystem;
constinit orlesk::Recorder recorder{captureSystem};

// Where unloading cannot stop a recording (Windows: see
// library_lifetime.h), the library stays loaded once it records, and a
// process that ends while recording leaves the file with its sizes.
void FinaliseRecordingAtProcessEnd() { recorder.FinaliseAtProcessEnd(); }

}  // namespace

extern "C" int32_t ORLESK_CALL StartRecordingWav(const OrleskPathChar* path, int32_t sampleRate,
                                                 int32_t bitsPerSample) {
  try {
    const int32_t status = recorder.Start(common::AsUtf16(path), sampleRate, bitsPerSample);
    if (status == ORLESK_SUCCESS) {
      common::KeepLibraryLoadedUntilProcessEnd(&FinaliseRecordingAtProcessEnd);
    }
    return status;
  } catch (...) {
    // Nothing was opened: the path could not be converted (no memory).
    return ORLESK_ERROR_FILE;
  }
}

extern "C" int32_t ORLESK_CALL StopRecordingWav(void) {
  try {
    return recorder.Stop();
  } catch (...) {
    // Nothing in stop is expected to throw; should joining a thread fail,
    // the caller learns that stopping failed.
    return ORLESK_ERROR_WRITE;
  }
}
