# Installation rules, in components that cmake/DebianPackages.cmake turns
# into one runtime package per SONAME, a development package per library,
# and a package per command:
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

# What every package of this project is called and by whom, whichever
# generator makes it.
set(CPACK_PACKAGE_NAME tavrel-orlesk)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tavrel and Orlesk developers")
