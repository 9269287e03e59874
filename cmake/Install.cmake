# Installation and Debian packaging: one runtime package per SONAME, a
# development package per library, and a package per command.
#
# Components (and the Debian packages they become):
#   tavrel_runtime  libtavrel1      libtavrel.so.1
#   tavrel_dev      libtavrel-dev   tavrel.h, the .so link, tavrel.pc, find_package(Tavrel)
#   orlesk_runtime  liborlesk1      liborlesk.so.1
#   orlesk_dev      liborlesk-dev   orlesk.h, the .so link, orlesk.pc, find_package(Orlesk)
#   tavrel_tool     tavrel          the tavrel command and its man page
#   orlesk_tool     orlesk          the orlesk command and its man page
#
# Every rule is guarded by if(TARGET ...) so the file works whichever of the
# libraries and commands this build has.

include(CMakePackageConfigHelpers)

set(packaging_source_dir ${PROJECT_SOURCE_DIR}/packaging)
set(packaging_binary_dir ${PROJECT_BINARY_DIR}/packaging)

# A .pc file must name the prefix it was installed to, and that is known only
# at install time (cmake --install --prefix, or /usr when CPack stages a
# package). The template is completed in two steps: the build settings now,
# the prefix by an install-time rule that runs just before the file is copied.
function(tavrel_install_pkg_config_file name component)
  foreach(kind IN ITEMS LIBDIR INCLUDEDIR)
    if(IS_ABSOLUTE "${CMAKE_INSTALL_${kind}}")
      set(PC_${kind} "${CMAKE_INSTALL_${kind}}")
    else()
      set(PC_${kind} "\${prefix}/${CMAKE_INSTALL_${kind}}")
    endif()
  endforeach()
  set(PC_PREFIX "@PC_PREFIX@")
  set(half_done ${packaging_binary_dir}/${name}.pc.in)
  set(done ${packaging_binary_dir}/${name}.pc)
  configure_file(${packaging_source_dir}/${name}.pc.in ${half_done} @ONLY)
  install(CODE "
    set(PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
    configure_file(\"${half_done}\" \"${done}\" @ONLY)
  " COMPONENT ${component})
  install(FILES ${done}
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
    COMPONENT ${component})
endfunction()

# TavrelConfig.cmake / OrleskConfig.cmake, their version files and the
# exported target. The export holds only the shared library: its static
# internals and compiler flags are linked privately and stay out of it.
function(tavrel_install_cmake_package package component)
  set(destination ${CMAKE_INSTALL_LIBDIR}/cmake/${package})
  install(EXPORT ${package}Targets
    NAMESPACE ${package}::
    DESTINATION ${destination}
    COMPONENT ${component})
  set(config_package ${package})
  configure_package_config_file(${packaging_source_dir}/PackageConfig.cmake.in
    ${packaging_binary_dir}/${package}Config.cmake
    INSTALL_DESTINATION ${destination})
  write_basic_package_version_file(${packaging_binary_dir}/${package}ConfigVersion.cmake
    VERSION ${PROJECT_VERSION}
    COMPATIBILITY SameMajorVersion)
  install(FILES
    ${packaging_binary_dir}/${package}Config.cmake
    ${packaging_binary_dir}/${package}ConfigVersion.cmake
    DESTINATION ${destination}
    COMPONENT ${component})
endfunction()

# On Windows: the DLL in bin/, its import library and .def file in lib/,
# the header in include/ (see cmake/WindowsPackage.cmake).
function(tavrel_install_dll target)
  install(TARGETS ${target}
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
  get_target_property(module_definition ${target} TAVREL_MODULE_DEFINITION)
  install(FILES ${module_definition} DESTINATION ${CMAKE_INSTALL_LIBDIR})
endfunction()

# One shared library with its header, pkg-config file and CMake package.
function(tavrel_install_library target package)
  set_property(TARGET ${target} PROPERTY PUBLIC_HEADER ${PROJECT_SOURCE_DIR}/include/${target}.h)
  if(WIN32)
    tavrel_install_dll(${target})
    return()
  endif()
  install(TARGETS ${target} EXPORT ${package}Targets
    LIBRARY
      DESTINATION ${CMAKE_INSTALL_LIBDIR}
      COMPONENT ${target}_runtime
      NAMELINK_COMPONENT ${target}_dev
    PUBLIC_HEADER
      DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
      COMPONENT ${target}_dev)
  tavrel_install_pkg_config_file(${target} ${target}_dev)
  tavrel_install_cmake_package(${package} ${target}_dev)
endfunction()

# A command and its man page, compressed as Debian expects. The page says
# which version it describes.
function(tavrel_install_command target command)
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${command}_tool)
  set(page ${packaging_binary_dir}/${command}.1)
  configure_file(${packaging_source_dir}/${command}.1.in ${page} @ONLY)
  find_program(TAVREL_GZIP gzip)
  if(TAVREL_GZIP)
    set(compressed ${page}.gz)
    add_custom_command(OUTPUT ${compressed}
      COMMAND ${TAVREL_GZIP} -9 -n -c ${page} > ${compressed}
      DEPENDS ${page}
      COMMENT "Compressing man page ${command}.1"
      VERBATIM)
    add_custom_target(${command}_man_page ALL DEPENDS ${compressed})
    set(page ${compressed})
  endif()
  install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${command}_tool)
endfunction()

set(installed_components "")
if(TARGET tavrel)
  tavrel_install_library(tavrel Tavrel)
  list(APPEND installed_components tavrel_runtime tavrel_dev)
endif()
if(TARGET orlesk)
  tavrel_install_library(orlesk Orlesk)
  list(APPEND installed_components orlesk_runtime orlesk_dev)
endif()
if(TARGET tavrel_cli)
  tavrel_install_command(tavrel_cli tavrel)
  list(APPEND installed_components tavrel_tool)
endif()
if(TARGET orlesk_cli)
  tavrel_install_command(orlesk_cli orlesk)
  list(APPEND installed_components orlesk_tool)
endif()

if(NOT PROJECT_IS_TOP_LEVEL)
  return()
endif()

if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/WindowsPackage.cmake)
  return()
endif()

# Debian packages: cpack -G DEB in a build configured with
# CMAKE_INSTALL_PREFIX=/usr (so the libraries land in the multiarch directory).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavrel-orlesk)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tavrel and Orlesk developers")
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
