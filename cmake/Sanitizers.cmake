# Sanitizer builds, chosen by TAVREL_SANITIZE. The flags go to every target
# of the project, libraries included, so that the code under test carries
# the instrumentation and not just the test programs.

if(TAVREL_SANITIZE STREQUAL "none")
  return()
endif()

if(TAVREL_SANITIZE STREQUAL "address")
  # float-cast-overflow: g++ leaves it out of "undefined", and the
  # interpolation converts doubles to integers.
  set(sanitizers address,undefined,float-cast-overflow)
  # Bounds checks in the standard library's containers as well.
  add_compile_definitions(_GLIBCXX_ASSERTIONS)
elseif(TAVREL_SANITIZE STREQUAL "thread")
  set(sanitizers thread)
elseif(TAVREL_SANITIZE STREQUAL "fuzzer")
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "TAVREL_SANITIZE=fuzzer needs clang (libFuzzer)")
  endif()
  set(sanitizers fuzzer-no-link,address,undefined,float-cast-overflow)
else()
  message(FATAL_ERROR "TAVREL_SANITIZE must be none, address, thread or fuzzer")
endif()

add_compile_options(-fsanitize=${sanitizers} -fno-omit-frame-pointer)
if(NOT TAVREL_SANITIZE STREQUAL "thread")
  add_compile_options(-fno-sanitize-recover=all)
endif()

if(TAVREL_SANITIZE STREQUAL "fuzzer")
  # Only the fuzz targets link libFuzzer (fuzz/); everything else links the
  # runtimes it needs through them.
  add_link_options(-fsanitize=address,undefined)
elseif(CMAKE_CXX_COMPILER_ID STREQUAL "Clang" AND TAVREL_SANITIZE STREQUAL "address")
  # clang links its sanitizer runtimes into executables only, so the shared
  # libraries need the shared runtime, and the programs need to find it.
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libclang_rt.asan-x86_64.so
    OUTPUT_VARIABLE asan_runtime OUTPUT_STRIP_TRAILING_WHITESPACE)
  get_filename_component(asan_runtime_dir "${asan_runtime}" DIRECTORY)
  add_link_options(-fsanitize=${sanitizers} -shared-libsan -Wl,-rpath,${asan_runtime_dir})
elseif(CMAKE_CXX_COMPILER_ID STREQUAL "Clang" AND TAVREL_SANITIZE STREQUAL "thread")
  # clang's shared ThreadSanitizer runtime crashes at start-up, so the
  # runtime stays in the executables and the shared libraries leave its
  # symbols to them (no --no-undefined in sanitizer builds).
  add_link_options(-fsanitize=${sanitizers})
else()
  add_link_options(-fsanitize=${sanitizers})
endif()
