# The shared libraries (and the paced capture device's plugin): only the
# names in the version script are exported, and the SONAME carries the
# major version. On Windows the module-definition file beside the version
# script (same name, .def) says what a DLL exports and at which ordinals.

if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/WindowsDll.cmake)
endif()

function(tavrel_configure_shared_library target version_script)
  if(WIN32)
    string(REGEX REPLACE "\\.map$" ".def" module_definition ${version_script})
    tavrel_configure_dll(${target} ${module_definition})
    return()
  endif()
  set_target_properties(${target} PROPERTIES
    VERSION ${PROJECT_VERSION}
    SOVERSION ${PROJECT_VERSION_MAJOR}
    LINK_DEPENDS ${version_script})
  target_link_options(${target} PRIVATE
    -Wl,--version-script=${version_script}
    -Wl,-z,relro,-z,now)
  # Every symbol must resolve at link time, except in sanitizer builds,
  # whose runtime the executable brings.
  if(NOT TAVREL_SANITIZE OR TAVREL_SANITIZE STREQUAL "none")
    target_link_options(${target} PRIVATE -Wl,--no-undefined)
  endif()
endfunction()
