# Shared part of the cross toolchain files: Debian's cross g++ 12 for
# TAVREL_CROSS_TRIPLET, its libraries under /usr/<triplet>, and qemu-user
# as the emulator, so that CTest (and GoogleTest's test discovery) runs the
# target's programs on this machine.
#
# Libraries built for the target elsewhere (GoogleTest, see target_googletest
# in scripts/hardening/common.sh) are found through
# -DTAVREL_CROSS_PREFIX=<their install prefix>.

set(CMAKE_SYSTEM_NAME Linux)

set(CMAKE_C_COMPILER ${TAVREL_CROSS_TRIPLET}-gcc-12)
set(CMAKE_CXX_COMPILER ${TAVREL_CROSS_TRIPLET}-g++-12)

set(TAVREL_TARGET_ROOT /usr/${TAVREL_CROSS_TRIPLET})
include(${CMAKE_CURRENT_LIST_DIR}/CrossRoots.cmake)

find_program(TAVREL_QEMU_USER NAMES ${TAVREL_QEMU_NAME} REQUIRED)
# -L: the target's dynamic loader and C library live under the sysroot.
set(CMAKE_CROSSCOMPILING_EMULATOR ${TAVREL_QEMU_USER} -L ${TAVREL_TARGET_ROOT})
