# Windows on ARM, 32-bit (ARMv7, Thumb-2). Built and checked on the host;
# nothing here runs its programs.
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-armv7.cmake \
#     -DTAVREL_ARM_MINGW_ROOT=$(bash scripts/windows/arm-toolchain.sh) ...
set(CMAKE_SYSTEM_PROCESSOR ARM)
set(TAVREL_ARM_MINGW_ARCH armv7)
include(${CMAKE_CURRENT_LIST_DIR}/MingwLlvmArm.cmake)
