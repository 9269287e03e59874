# Compiler settings shared by every target of the project.

add_library(project_flags INTERFACE)

target_compile_options(project_flags INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
  -Wcast-align -Wnull-dereference -Wdouble-promotion
  # Sample arithmetic must round the same way on every compiler and
  # architecture: never fuse a multiply and an add into one operation,
  # which ARM compilers do by default.
  -ffp-contract=off
  $<$<BOOL:${TAVREL_WARNINGS_AS_ERRORS}>:-Werror>)

# Files past 2 GiB must open, seek and grow on 32-bit hosts (armhf) too.
target_compile_definitions(project_flags INTERFACE _FILE_OFFSET_BITS=64)

include(${CMAKE_CURRENT_LIST_DIR}/Sanitizers.cmake)

if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/WindowsDll.cmake)
endif()

# Code that talks to the platform sits in a folder named after it.
if(WIN32)
  set(TAVREL_PLATFORM_FOLDER windows)
else()
  set(TAVREL_PLATFORM_FOLDER posix)
endif()

# Helper for the two shared libraries: only the names in the version
# script are exported, the SONAME carries the major version. On Windows the
# module-definition file beside the version script (same name, .def) says
# what a DLL exports and at which ordinals.
function(tavrel_configure_shared_library target version_script)
  if(WIN32)
    string(REGEX REPLACE "\\.map$" ".def" module_definition ${version_script})
    tavrel_configure_dll(${target} ${module_definition})
    return()
  endif()
  set_target_properties(${target} PROPERTIES
    VERSION ${PROJECT_VERSION}
    SOVERSION ${PROJECT_VERSION_MAJOR}
    C_VISIBILITY_PRESET hidden
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    LINK_DEPENDS ${version_script})
  target_link_options(${target} PRIVATE
    -Wl,--version-script=${version_script}
    -Wl,-z,relro,-z,now)
  # Every symbol must resolve at link time, except in sanitizer builds,
  # whose runtime the executable brings.
  if(TAVREL_SANITIZE STREQUAL "none")
    target_link_options(${target} PRIVATE -Wl,--no-undefined)
  endif()
endfunction()
