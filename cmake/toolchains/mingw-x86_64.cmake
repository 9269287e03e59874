# Windows x64, tested under wine.
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-x86_64.cmake ...
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(TAVREL_MINGW_TRIPLET x86_64-w64-mingw32)
set(TAVREL_MINGW_ARCHITECTURE_FLAGS "")
include(${CMAKE_CURRENT_LIST_DIR}/MingwWine.cmake)
