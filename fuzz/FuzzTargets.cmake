# The fuzz targets, built one of two ways:
#   LIBFUZZER  linked with libFuzzer (clang), to search for new inputs;
#   REPLAY     linked with replay_main.cpp, to run the seed corpus and the
#              kept regression inputs once, with any compiler on any
#              architecture (the cross builds run them under qemu).
# Either way CTest replays the seeds and fuzz/regressions/<target>/.

function(tavrel_add_fuzz_targets engine)
  set(dir ${PROJECT_SOURCE_DIR}/fuzz)

  add_executable(make_fuzz_seeds ${dir}/make_seed_corpus.cpp)
  target_link_libraries(make_fuzz_seeds PRIVATE test_support project_flags)

  # The exported wrapper is compiled in so that the target calls exactly
  # what a host calls, statuses and all, without loading the shared library.
  add_executable(speed_effect_fuzzer
    ${dir}/speed_effect_fuzzer.cpp ${dir}/speed_effect_checks.cpp
    ${PROJECT_SOURCE_DIR}/speed/tavrel_exports.cpp)
  target_link_libraries(speed_effect_fuzzer PRIVATE tavrel_core test_support project_flags)
  # Compiled as the library compiles it: on Windows the header would
  # otherwise declare the function imported from tavrel.dll.
  target_compile_definitions(speed_effect_fuzzer PRIVATE TAVREL_BUILDING_LIBRARY)

  # The tempo effect on the same inputs, also through the exported wrapper.
  add_executable(tempo_effect_fuzzer
    ${dir}/tempo_effect_fuzzer.cpp ${dir}/speed_effect_checks.cpp
    ${PROJECT_SOURCE_DIR}/speed/tavrel_exports.cpp)
  target_link_libraries(tempo_effect_fuzzer PRIVATE tavrel_core test_support project_flags)
  target_compile_definitions(tempo_effect_fuzzer PRIVATE TAVREL_BUILDING_LIBRARY)

  # The conversion between streams in memory, on the library's internals.
  add_executable(wav_conversion_fuzzer
    ${dir}/wav_conversion_fuzzer.cpp ${dir}/speed_effect_checks.cpp)
  target_link_libraries(wav_conversion_fuzzer PRIVATE tavrel_core test_support project_flags)

  add_executable(narrow_path_fuzzer ${dir}/narrow_path_fuzzer.cpp)
  target_link_libraries(narrow_path_fuzzer PRIVATE common test_support project_flags)

  # The frame-by-frame checks are loops like the library's sample loops
  # (see speed/CMakeLists.txt).
  if(TAVREL_SANITIZE STREQUAL "fuzzer")
    set_source_files_properties(${dir}/speed_effect_checks.cpp
      PROPERTIES COMPILE_OPTIONS -fno-sanitize-coverage=trace-cmp)
  endif()

  set(seeds ${CMAKE_CURRENT_BINARY_DIR}/fuzz-seeds)
  add_test(NAME fuzz_seed_corpus COMMAND make_fuzz_seeds ${seeds})
  set_tests_properties(fuzz_seed_corpus PROPERTIES FIXTURES_SETUP fuzz_seeds LABELS fuzz)

  foreach(target IN ITEMS speed_effect tempo_effect wav_conversion narrow_path)
    if(engine STREQUAL "LIBFUZZER")
      target_compile_options(${target}_fuzzer PRIVATE -fsanitize=fuzzer)
      target_link_options(${target}_fuzzer PRIVATE -fsanitize=fuzzer)
    else()
      target_sources(${target}_fuzzer PRIVATE ${dir}/replay_main.cpp)
    endif()
    # The speed- and tempo-effect targets read the same inputs.
    string(REGEX REPLACE "^(wav_conversion|tempo_effect)$" speed_effect seed_folder ${target})
    set(inputs ${seeds}/${seed_folder})
    if(EXISTS ${dir}/regressions/${target})
      list(APPEND inputs ${dir}/regressions/${target})
    endif()
    # -runs=0: libFuzzer runs each input once and stops.
    add_test(NAME fuzz_replay_${target} COMMAND ${target}_fuzzer -runs=0 ${inputs})
    set_tests_properties(fuzz_replay_${target} PROPERTIES
      FIXTURES_REQUIRED fuzz_seeds LABELS fuzz)
  endforeach()
endfunction()
