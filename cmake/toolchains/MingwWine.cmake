# Shared part of the Windows toolchain files: Debian's mingw-w64 g++ 12 for
# TAVREL_MINGW_TRIPLET with the posix thread model (GoogleTest needs
# std::thread, which the win32 model lacks), its headers and libraries under
# /usr/<triplet>, and wine as the emulator, so that CTest (and GoogleTest's
# test discovery) runs the Windows programs on this machine.
#
# Libraries built for the target elsewhere (GoogleTest, see
# scripts/windows.sh) are found through -DTAVREL_CROSS_PREFIX=<their install
# prefix>. The wine prefix is <build>/wineprefix unless
# -DTAVREL_WINEPREFIX=<folder> names one: a 64-bit prefix runs x86 programs
# too, so the two architectures can share it. Start a session in it first
# (scripts/windows/wine-session.sh), or every test waits seconds for wine's
# services.

set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${TAVREL_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVREL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TAVREL_MINGW_TRIPLET}-windres)
# Rewrites x86 import libraries from the module-definition files.
set(CMAKE_DLLTOOL ${TAVREL_MINGW_TRIPLET}-dlltool)

set(CMAKE_C_FLAGS_INIT "${TAVREL_MINGW_ARCHITECTURE_FLAGS}")
set(CMAKE_CXX_FLAGS_INIT "${TAVREL_MINGW_ARCHITECTURE_FLAGS}")

# libgcc, libstdc++ and winpthread are linked in, so a DLL or test program
# imports only system DLLs (KERNEL32, msvcrt) and runs from any folder with
# nothing of mingw's beside it.
foreach(kind IN ITEMS EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
endforeach()

set(TAVREL_TARGET_ROOT /usr/${TAVREL_MINGW_TRIPLET})
include(${CMAKE_CURRENT_LIST_DIR}/CrossRoots.cmake)
# The wine prefix is a command-line setting too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TAVREL_WINEPREFIX)

if(NOT TAVREL_WINEPREFIX)
  set(TAVREL_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${TAVREL_WINEPREFIX})
# GoogleTest's cases are listed when CTest runs, inside the wine session,
# never by the build, which would start wine without one.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
