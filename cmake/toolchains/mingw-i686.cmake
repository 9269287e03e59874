# Windows x86, tested under wine.
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-i686.cmake ...
set(CMAKE_SYSTEM_PROCESSOR X86)
set(TAVREL_MINGW_TRIPLET i686-w64-mingw32)
# SSE2 arithmetic instead of the x87 unit, which keeps intermediate results
# at 80 bits and so rounds samples differently from every other
# architecture. With SSE on, the compiler realigns the stack of functions
# that need it, so callbacks from 4-byte-aligned system code are safe.
set(TAVREL_MINGW_ARCHITECTURE_FLAGS "-msse2 -mfpmath=sse")
include(${CMAKE_CURRENT_LIST_DIR}/MingwWine.cmake)
