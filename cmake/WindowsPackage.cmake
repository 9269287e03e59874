# The Windows zip, one per architecture: cpack -G ZIP in a mingw build gives
# tavrel-orlesk-<version>-win64.zip (x64), -win32.zip (x86), -win-arm64.zip
# (arm64) or -win-arm.zip (32-bit ARM) holding
#   bin/       the DLLs
#   lib/       their import libraries (libNAME.dll.a) and .def files
#   include/   the public headers
#   windows.md the page that describes them (docs/windows.md), which reads
#              on its own
install(FILES ${PROJECT_SOURCE_DIR}/docs/windows.md DESTINATION .)

# CPack names every 64-bit Windows build win64 and every other one win32.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "ARM64")
  set(CPACK_SYSTEM_NAME win-arm64)
elseif(CMAKE_SYSTEM_PROCESSOR STREQUAL "ARM")
  set(CPACK_SYSTEM_NAME win-arm)
endif()
set(CPACK_GENERATOR ZIP)
include(CPack)
