# 32-bit ARM, hard-float (the kind of device the libraries replace).
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/armhf.cmake ...
set(CMAKE_SYSTEM_PROCESSOR arm)
set(TAVREL_CROSS_TRIPLET arm-linux-gnueabihf)
set(TAVREL_QEMU_NAME qemu-arm)
include(${CMAKE_CURRENT_LIST_DIR}/DebianCross.cmake)
