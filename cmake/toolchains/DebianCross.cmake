# Shared part of the cross toolchain files: Debian's cross g++ 12 for
# TAVREL_CROSS_TRIPLET, its libraries under /usr/<triplet>, and qemu-user
# as the emulator, so that CTest (and GoogleTest's test discovery) runs the
# target's programs on this machine.
#
# Libraries built for the target elsewhere (GoogleTest, see
# scripts/hardening/cross-build.sh) are found through
# -DTAVREL_CROSS_PREFIX=<their install prefix>.

set(CMAKE_SYSTEM_NAME Linux)

set(CMAKE_C_COMPILER ${TAVREL_CROSS_TRIPLET}-gcc-12)
set(CMAKE_CXX_COMPILER ${TAVREL_CROSS_TRIPLET}-g++-12)

set(sysroot_libraries /usr/${TAVREL_CROSS_TRIPLET})
# The prefix is a command-line setting; try_compile projects see it too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TAVREL_CROSS_PREFIX)
set(CMAKE_FIND_ROOT_PATH ${sysroot_libraries} ${TAVREL_CROSS_PREFIX})
# Programs (pkg-config, sox) are the build machine's; everything linked
# into the target's binaries must come from the target's trees.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(TAVREL_QEMU_USER NAMES ${TAVREL_QEMU_NAME} REQUIRED)
# -L: the target's dynamic loader and C library live under the sysroot.
set(CMAKE_CROSSCOMPILING_EMULATOR ${TAVREL_QEMU_USER} -L ${sysroot_libraries})
