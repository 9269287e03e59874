# Installation and Debian packaging of the two libraries and their commands.
#
# Components:
#   runtime - the shared libraries (SONAME file and real file)
#   dev     - headers, the unversioned .so link, pkg-config and CMake files
#   tools   - the tavrel and orlesk commands with their man pages
#
# Every rule is guarded by if(TARGET ...) so the file works whichever of the
# libraries and commands this build has.

include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(packaging_source_dir ${PROJECT_SOURCE_DIR}/packaging)
set(packaging_binary_dir ${PROJECT_BINARY_DIR}/packaging)

# A .pc file must name the prefix it was installed to, and that is known only
# at install time (cmake --install --prefix, or /usr when CPack stages a
# package). The template is completed in two steps: the build settings now,
# the prefix by an install-time rule that runs just before the file is copied.
function(tavrel_install_pkg_config_file name)
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
  " COMPONENT dev)
  install(FILES ${done}
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
    COMPONENT dev)
endfunction()

# TavrelConfig.cmake / OrleskConfig.cmake, their version files and the
# exported target. The export holds only the shared library: its static
# internals and compiler flags are linked privately and stay out of it.
function(tavrel_install_cmake_package package)
  set(destination ${CMAKE_INSTALL_LIBDIR}/cmake/${package})
  install(EXPORT ${package}Targets
    NAMESPACE ${package}::
    DESTINATION ${destination}
    COMPONENT dev)
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
    COMPONENT dev)
endfunction()

# One shared library with its header, pkg-config file and CMake package.
function(tavrel_install_library target package header)
  # A relative PUBLIC_HEADER would be looked up from this directory rather
  # than the library's, so the header is named by its full path here.
  set_property(TARGET ${target} PROPERTY PUBLIC_HEADER ${header})
  # Consumers include the installed header directory; add it to the export
  # only when the library does not already name it.
  get_target_property(include_dirs ${target} INTERFACE_INCLUDE_DIRECTORIES)
  if(include_dirs MATCHES "INSTALL_INTERFACE")
    set(include_destination "")
  else()
    set(include_destination INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
  endif()
  install(TARGETS ${target} EXPORT ${package}Targets
    LIBRARY
      DESTINATION ${CMAKE_INSTALL_LIBDIR}
      COMPONENT runtime
      NAMELINK_COMPONENT dev
    PUBLIC_HEADER
      DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
      COMPONENT dev
    ${include_destination})
  tavrel_install_pkg_config_file(${target})
  tavrel_install_cmake_package(${package})
endfunction()

# A command and its man page, compressed as Debian expects.
function(tavrel_install_command target page)
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
  find_program(TAVREL_GZIP gzip)
  if(TAVREL_GZIP)
    set(compressed ${packaging_binary_dir}/${page}.gz)
    add_custom_command(OUTPUT ${compressed}
      COMMAND ${TAVREL_GZIP} -9 -n -c ${packaging_source_dir}/${page} > ${compressed}
      DEPENDS ${packaging_source_dir}/${page}
      COMMENT "Compressing man page ${page}"
      VERBATIM)
    add_custom_target(${target}_man_page ALL DEPENDS ${compressed})
    install(FILES ${compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tools)
  else()
    install(FILES ${packaging_source_dir}/${page}
      DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
      COMPONENT tools)
  endif()
endfunction()

set(installed_components runtime dev)

if(TARGET tavrel)
  tavrel_install_library(tavrel Tavrel ${PROJECT_SOURCE_DIR}/speed/tavrel.h)
endif()
if(TARGET orlesk)
  tavrel_install_library(orlesk Orlesk ${PROJECT_SOURCE_DIR}/recorder/orlesk.h)
endif()
if(TARGET tavrel_cli)
  tavrel_install_command(tavrel_cli tavrel.1)
endif()
if(TARGET orlesk_cli)
  tavrel_install_command(orlesk_cli orlesk.1)
endif()
if(TARGET tavrel_cli OR TARGET orlesk_cli)
  list(APPEND installed_components tools)
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

# Library dependencies come from dpkg-shlibdeps, and the runtime package
# ships a shlibs file so that packages built against it get theirs computed.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# The commands link the libraries that the runtime package is staging right
# beside them: dpkg-shlibdeps runs in each component's staging directory, so
# this relative path lets it find them (their dependency is the one below).
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "../runtime${CMAKE_INSTALL_LIBDIR}")
else()
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
    "../runtime${CPACK_PACKAGING_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}")
endif()

# dev and tools require the runtime package of exactly the same version.
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_COMPONENT_DEV_DEPENDS runtime)
set(CPACK_COMPONENT_TOOLS_DEPENDS runtime)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libtavrel-orlesk1)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "speed effect and recorder libraries for PCM WAV files
libtavrel changes the speed of a PCM WAV file: the frame count and the
declared sample rate change together. liborlesk records mono PCM audio from
the default ALSA capture device into a WAV file with the same 44-byte header.
Both have a small C interface with integer status codes.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libtavrel-orlesk-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
# orlesk.pc names alsa as a private requirement, which pkg-config resolves.
if(TARGET orlesk)
  set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS libasound2-dev)
endif()
set(CPACK_DEBIAN_DEV_DESCRIPTION "speed effect and recorder for PCM WAV files - development files
Headers tavrel.h and orlesk.h, pkg-config files (tavrel, orlesk) and CMake
packages (find_package(Tavrel) and find_package(Orlesk)) for building
against libtavrel and liborlesk.")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME tavrel-orlesk-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_TOOLS_DESCRIPTION "speed effect and recorder for PCM WAV files - commands
tavrel changes the speed of a PCM WAV file; orlesk records one from the
default capture device.")

include(CPack)
