# Windows on ARM, 64-bit, tested under an emulated arm64 wine.
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-aarch64.cmake \
#     -DTAVREL_ARM_MINGW_ROOT=$(bash scripts/windows/arm-toolchain.sh) \
#     -DTAVREL_ARM64_WINE_ROOT=$(bash scripts/windows/arm64-wine-root.sh) ...
set(CMAKE_SYSTEM_PROCESSOR ARM64)
set(TAVREL_ARM_MINGW_ARCH aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/MingwLlvmArm.cmake)

# Without an arm64 wine the programs build but nothing runs them.
set(TAVREL_ARM64_WINE_ROOT "${TAVREL_ARM64_WINE_ROOT}" CACHE PATH
  "The arm64 wine root that scripts/windows/arm64-wine-root.sh prints")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TAVREL_ARM64_WINE_ROOT TAVREL_WINEPREFIX)
if(TAVREL_ARM64_WINE_ROOT)
  # Not the x86 wine's prefix: an arm64 wine fills its own.
  if(NOT TAVREL_WINEPREFIX)
    set(TAVREL_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  endif()
  set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_CURRENT_LIST_DIR}/arm64-wine-run.sh ${TAVREL_ARM64_WINE_ROOT} ${TAVREL_WINEPREFIX})
endif()
