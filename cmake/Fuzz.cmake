# kelvo_fuzz_target(NAME SOURCES ... LIBS ...)
#
# With KELVO_BUILD_FUZZ (clang) the target is a libFuzzer binary. Otherwise,
# when tests are built, the same entry point is linked with a small replay
# main and every file of fuzz/corpus/NAME runs as an ordinary test, so crashes
# found once stay fixed.
set(KELVO_FUZZ_CORPUS_DIR ${CMAKE_SOURCE_DIR}/fuzz/corpus)

# A fuzz build instruments everything it compiles, not only the entry points:
# libFuzzer is guided by the coverage of the library code under test, and the
# sanitizers must see its memory accesses. Undefined behaviour ends the run
# like a crash, so that it is reported as a finding.
if(KELVO_BUILD_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined
                      -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

function(kelvo_fuzz_target name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  if(KELVO_BUILD_FUZZ)
    add_executable(fuzz_${name} ${F_SOURCES})
    target_compile_options(fuzz_${name} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_libraries(fuzz_${name} PRIVATE ${F_LIBS} kelvo::warnings)
    set_target_properties(fuzz_${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
    target_include_directories(fuzz_${name} PRIVATE ${CMAKE_SOURCE_DIR}/fuzz/common)
  elseif(KELVO_BUILD_TESTS)
    add_executable(replay_${name} ${F_SOURCES} ${CMAKE_SOURCE_DIR}/fuzz/replay_main.cpp)
    target_link_libraries(replay_${name} PRIVATE ${F_LIBS} kelvo::warnings)
    target_include_directories(replay_${name} PRIVATE ${CMAKE_SOURCE_DIR}/fuzz/common)
    if(EXISTS ${KELVO_FUZZ_CORPUS_DIR}/${name})
      add_test(NAME fuzz_replay.${name}
               COMMAND replay_${name} ${KELVO_FUZZ_CORPUS_DIR}/${name})
    endif()
  endif()
endfunction()
