# The Windows zip, one per architecture: cpack -G ZIP in a mingw build gives
# tavrel-orlesk-<version>-win64.zip (x64) or -win32.zip (x86) holding
#   bin/       the DLLs
#   lib/       their import libraries (libNAME.dll.a) and .def files
#   include/   the public headers
#   windows.md the page that describes them (docs/windows.md), which reads
#              on its own
install(FILES ${PROJECT_SOURCE_DIR}/docs/windows.md DESTINATION .)

set(CPACK_GENERATOR ZIP)
include(CPack)
