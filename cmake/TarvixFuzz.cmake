# The fuzz build (TARVIX_BUILD_FUZZ, clang): one rule instruments every library, so each fuzz
# target steers by the coverage of all the code it reaches and stops at the first fault there,
# whichever folder that code lives in. Every other program and test of the tree links the
# sanitizer runtimes too (they carry weak stand-ins for the coverage hooks), so the whole tree
# builds; only the fuzz targets link libFuzzer itself.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "TARVIX_BUILD_FUZZ needs clang: configure with scripts/setup --fuzz")
endif()

set(TARVIX_FUZZ_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=undefined)
add_compile_options(-fsanitize=fuzzer-no-link ${TARVIX_FUZZ_SANITIZERS} -fno-omit-frame-pointer)
add_link_options(${TARVIX_FUZZ_SANITIZERS})

# tarvix_fuzz_target(name SOURCES ... LIBS ...)
# A libFuzzer program `<name>_fuzz` whose kept inputs live in fuzz/corpus/<name>/. scripts/fuzz
# runs each one for a while from its corpus.
function(tarvix_fuzz_target name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name}_fuzz ${ARG_SOURCES})
  target_include_directories(${name}_fuzz PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_options(${name}_fuzz PRIVATE ${TARVIX_WARNINGS} -fsanitize=fuzzer)
  target_link_options(${name}_fuzz PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name}_fuzz PRIVATE ${ARG_LIBS})
endfunction()
