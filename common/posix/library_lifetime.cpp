#include "library_lifetime.h"

namespace common {

// Unloading and exit run the library's destructors, which are enough here.
void KeepLibraryLoadedUntilProcessEnd(void (*)()) {}

}  // namespace common
