# Debian packages: cpack -G DEB in a build configured with
# CMAKE_INSTALL_PREFIX=/usr (so the libraries land in the multiarch
# directory), one package per install component (cmake/Install.cmake).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_CONTACT "Tavrel and Orlesk developers <maintainers@tavrel-orlesk.invalid>"
  CACHE STRING "Maintainer field of the Debian packages")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Each package's description below starts with its own synopsis line; CPack
# prepends the summary unless it is left at CPack's default, which this is.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${CMAKE_PROJECT_NAME} built using CMake")
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL ${installed_components})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# Library dependencies come from dpkg-shlibdeps, and each runtime package
# ships a shlibs file so that packages built against it get theirs computed.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# The commands link the libraries that the runtime packages are staging right
# beside them: dpkg-shlibdeps runs in each component's staging directory, so
# these relative paths let it find them (their dependencies are set below).
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(staged_libdir "${CMAKE_INSTALL_LIBDIR}")
else()
  set(staged_libdir "${CPACK_PACKAGING_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}")
endif()
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
  "../tavrel_runtime${staged_libdir}" "../orlesk_runtime${staged_libdir}")

# Development packages and commands require the runtime package of exactly
# the same version.
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_COMPONENT_TAVREL_DEV_DEPENDS tavrel_runtime)
set(CPACK_COMPONENT_ORLESK_DEV_DEPENDS orlesk_runtime)
set(CPACK_COMPONENT_TAVREL_TOOL_DEPENDS tavrel_runtime)
set(CPACK_COMPONENT_ORLESK_TOOL_DEPENDS orlesk_runtime)

set(CPACK_DEBIAN_TAVREL_RUNTIME_PACKAGE_NAME libtavrel1)
set(CPACK_DEBIAN_TAVREL_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_TAVREL_RUNTIME_DESCRIPTION "speed effect for PCM WAV files
libtavrel changes the speed of a PCM WAV file: the frame count and the
declared sample rate change together. It has a small C interface with
integer status codes and needs no audio stack.")

set(CPACK_DEBIAN_TAVREL_DEV_PACKAGE_NAME libtavrel-dev)
set(CPACK_DEBIAN_TAVREL_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_TAVREL_DEV_DESCRIPTION "speed effect for PCM WAV files - development files
The header tavrel.h, the pkg-config file tavrel.pc and the CMake package
find_package(Tavrel) for building against libtavrel.")

set(CPACK_DEBIAN_ORLESK_RUNTIME_PACKAGE_NAME liborlesk1)
set(CPACK_DEBIAN_ORLESK_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_ORLESK_RUNTIME_DESCRIPTION "recorder of mono PCM WAV files
liborlesk records mono PCM audio from the default ALSA capture device into a
WAV file with the plain 44-byte header that libtavrel reads. It has a small
C interface with integer status codes.")

set(CPACK_DEBIAN_ORLESK_DEV_PACKAGE_NAME liborlesk-dev)
set(CPACK_DEBIAN_ORLESK_DEV_PACKAGE_SECTION libdevel)
# orlesk.pc names alsa as a private requirement, which pkg-config resolves.
set(CPACK_DEBIAN_ORLESK_DEV_PACKAGE_DEPENDS libasound2-dev)
set(CPACK_DEBIAN_ORLESK_DEV_DESCRIPTION "recorder of mono PCM WAV files - development files
The header orlesk.h, the pkg-config file orlesk.pc and the CMake package
find_package(Orlesk) for building against liborlesk.")

set(CPACK_DEBIAN_TAVREL_TOOL_PACKAGE_NAME tavrel)
set(CPACK_DEBIAN_TAVREL_TOOL_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_TAVREL_TOOL_DESCRIPTION "change the speed of a PCM WAV file
The tavrel command writes a PCM WAV file at a given percentage of its speed,
through libtavrel.")

set(CPACK_DEBIAN_ORLESK_TOOL_PACKAGE_NAME orlesk)
set(CPACK_DEBIAN_ORLESK_TOOL_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_ORLESK_TOOL_DESCRIPTION "record a mono PCM WAV file
The orlesk command records mono PCM audio from the default capture device
into a WAV file, through liborlesk.")

include(CPack)
