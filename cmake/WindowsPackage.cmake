# The Windows zip, one per architecture: cpack -G ZIP in a mingw build gives
# tavrel-orlesk-<version>-win64.zip (x64) or -win32.zip (x86) holding
#   bin/       the DLLs
#   lib/       their import libraries (libNAME.dll.a) and .def files
#   include/   the public headers
#   README.md  the project's README, whose Windows section describes them
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)

set(CPACK_GENERATOR ZIP)
include(CPack)
