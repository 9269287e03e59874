// How a library meets its own unloading and the end of the process where
// the platform asks for more than its static destructors.
//
// Windows: unloading a DLL (FreeLibrary) runs its destructors under the
// loader lock, where joining a thread waits for ever (a thread needs the
// lock to end). A library whose threads run can ask to stay loaded until
// the process ends. By then Windows has ended every other thread before
// the library hears of it, so the library gets one call to save what it
// can without them.
// POSIX systems: unloading runs the destructors, which may join threads;
// nothing else is needed, and nothing here does anything.
#pragma once

namespace common {

// Keeps the library that holds this code loaded until the process ends, and
// has `atProcessEnd` called then, on the last thread, with every other
// thread gone. Called again, it replaces the function.
void KeepLibraryLoadedUntilProcessEnd(void (*atProcessEnd)());

}  // namespace common
