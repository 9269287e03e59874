# Shared part of the Windows on ARM toolchain files: Debian's clang 14 for
# <TAVREL_ARM_MINGW_ARCH>-w64-windows-gnu with the mingw-w64 root that
# scripts/windows/arm-toolchain.sh builds from Debian's sources and prints
# (-DTAVREL_ARM_MINGW_ROOT=<root>): mingw-w64's headers and CRT over
# msvcrt.dll, compiler-rt's builtins, and static libunwind, libc++abi and
# libc++ over win32 threads. The root's compiler scripts link with lld 16:
# lld 14 writes a DLL's export directory with ordinal base 0.
#
# Libraries built for the target elsewhere (GoogleTest) are found through
# -DTAVREL_CROSS_PREFIX=<their install prefix>.

set(CMAKE_SYSTEM_NAME Windows)

# From the environment too, for builds that pass nothing but this file
# (GoogleTest's, in scripts/hardening/common.sh's target_googletest).
if(NOT TAVREL_ARM_MINGW_ROOT AND DEFINED ENV{TAVREL_ARM_MINGW_ROOT})
  set(TAVREL_ARM_MINGW_ROOT $ENV{TAVREL_ARM_MINGW_ROOT})
endif()
set(TAVREL_ARM_MINGW_ROOT "${TAVREL_ARM_MINGW_ROOT}" CACHE PATH
  "The Windows on ARM toolchain root that scripts/windows/arm-toolchain.sh prints")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TAVREL_ARM_MINGW_ROOT)
set(triplet ${TAVREL_ARM_MINGW_ARCH}-w64-mingw32)
if(NOT EXISTS ${TAVREL_ARM_MINGW_ROOT}/bin/${triplet}-clang++)
  message(FATAL_ERROR "TAVREL_ARM_MINGW_ROOT must name the root that "
    "scripts/windows/arm-toolchain.sh prints (it is \"${TAVREL_ARM_MINGW_ROOT}\")")
endif()

set(tools ${TAVREL_ARM_MINGW_ROOT}/bin/${triplet})
set(CMAKE_C_COMPILER ${tools}-clang)
set(CMAKE_CXX_COMPILER ${tools}-clang++)
set(CMAKE_RC_COMPILER ${tools}-windres)
set(CMAKE_AR ${tools}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${tools}-ranlib CACHE FILEPATH "")
set(CMAKE_DLLTOOL ${tools}-dlltool)

# The root holds only static C++ runtimes; -static makes sure a DLL or test
# program imports only system DLLs (KERNEL32, msvcrt) and runs from any
# folder with nothing of the toolchain's beside it.
foreach(kind IN ITEMS EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "-static")
endforeach()

# GoogleTest's cases are listed when CTest runs (under the emulator, where
# there is one), never by the build, which cannot run the target's programs.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)

set(TAVREL_TARGET_ROOT ${TAVREL_ARM_MINGW_ROOT}/${triplet})
include(${CMAKE_CURRENT_LIST_DIR}/CrossRoots.cmake)
unset(tools)
unset(triplet)
