# 64-bit ARM.
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/aarch64.cmake ...
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(TAVREL_CROSS_TRIPLET aarch64-linux-gnu)
set(TAVREL_QEMU_NAME qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/DebianCross.cmake)
