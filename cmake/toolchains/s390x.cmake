# IBM Z: big-endian, so every byte written in the wrong order shows up.
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/s390x.cmake ...
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(TAVREL_CROSS_TRIPLET s390x-linux-gnu)
set(TAVREL_QEMU_NAME qemu-s390x)
include(${CMAKE_CURRENT_LIST_DIR}/DebianCross.cmake)
