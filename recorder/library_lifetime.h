// How the library meets its own loading and unloading where the platform
// asks for more than the recorder's destructor.
//
// Windows: unloading the DLL (FreeLibrary) while a recording runs would run
// that destructor under the loader lock, where joining the capture and
// writer threads waits for ever (a thread needs the lock to end). So once a
// recording has started, the DLL stays loaded until the process ends; a
// host that loads it again gets the same recording back and can stop it.
// When the process ends, its other threads are gone before the DLL hears
// of it: the recording's file gets its sizes and nothing more.
#pragma once

#include "recorder.h"

namespace orlesk {

// The process's one recorder (orlesk_exports.cpp).
Recorder& ProcessRecorder();

#if defined(_WIN32)
void KeepLibraryLoaded();
#else
// Elsewhere unloading runs the destructor, which stops the recording.
inline void KeepLibraryLoaded() {}
#endif

}  // namespace orlesk
