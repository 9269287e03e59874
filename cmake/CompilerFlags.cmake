# The compiler settings of every target of the project, and of the paced
# capture device when it is built as a project of its own.

set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_C_STANDARD 11)
set(CMAKE_C_EXTENSIONS OFF)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
# A shared library exports what its version script or module-definition
# file names and nothing else; inline functions are never exported.
set(CMAKE_CXX_VISIBILITY_PRESET hidden)
set(CMAKE_C_VISIBILITY_PRESET hidden)
set(CMAKE_VISIBILITY_INLINES_HIDDEN ON)

option(TAVREL_WARNINGS_AS_ERRORS "Treat compiler warnings as errors" OFF)

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
