# Which folders of the tree this build compiles. Code that calls the
# operating system lives in common/<platform>/; the recorder's capture
# layer in recorder/<capture>/; the speed effect's wide kernels in
# speed/kernels/<kernels>/.

if(WIN32)
  set(TAVREL_PLATFORM_FOLDER windows)
  # DLLs carry a version resource, and Windows finds a program's DLLs
  # beside it: the libraries and the tests go to one folder.
  enable_language(RC)
  if(NOT CMAKE_RUNTIME_OUTPUT_DIRECTORY)
    set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
  endif()
else()
  set(TAVREL_PLATFORM_FOLDER posix)
endif()

# The AVX2 and AVX-512 kernels are built for x86-64 Linux. Not for 64-bit
# Windows: there g++ cannot align the stack beyond 16 bytes, so a spilled
# 256- or 512-bit register may land unaligned and fault.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$" AND NOT WIN32)
  set(TAVREL_KERNELS_FOLDER x86)
else()
  set(TAVREL_KERNELS_FOLDER portable)
endif()

if(WIN32)
  set(orlesk_capture_default wavein)
else()
  set(orlesk_capture_default alsa)
endif()
set(ORLESK_CAPTURE "${orlesk_capture_default}" CACHE STRING
  "The recorder's capture layer: alsa (Linux), wavein (Windows), or none (the recording core and its fake-device tests only)")
set_property(CACHE ORLESK_CAPTURE PROPERTY STRINGS alsa wavein none)
