# Helpers shared by every folder's CMakeLists.txt.

# tarvix_library(name SOURCES ... [PUBLIC_LIBS ...] [PRIVATE_LIBS ...])
# A static library of our own code with the project's warnings; headers are included from the
# repository root ("platform/clock.h", "xmldoc/xml_document.h").
function(tarvix_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_LIBS;PRIVATE_LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_compile_options(${name} PRIVATE ${TARVIX_WARNINGS})
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
endfunction()

# tarvix_executable(name SOURCES ... [LIBS ...])
function(tarvix_executable name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES} ${TARVIX_SANITIZER_OBJECTS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_options(${name} PRIVATE ${TARVIX_WARNINGS})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
endfunction()

# In the sanitizer build every program and test carries its sanitizer defaults compiled in, so
# processes that tests start (the applier, the fake game client) run with the same settings.
if(TARVIX_SANITIZE)
  add_library(tarvix_sanitizer_defaults OBJECT ${PROJECT_SOURCE_DIR}/testing/sanitizer_defaults.cc)
  set(TARVIX_SANITIZER_OBJECTS $<TARGET_OBJECTS:tarvix_sanitizer_defaults>)
endif()

# tarvix_test(name SOURCES ... [LIBS ...] [LABEL unit|integration|window] [TIMEOUT s]
#             [DEPENDS targets...])
# One GoogleTest executable; each of its tests becomes a CTest test carrying the label, so
# `ctest -L unit` runs the fast tests alone.
#   unit        in-process, no servers, no second process
#   integration real servers (nginx, pyftpdlib, the local gate) or second processes
#   window      needs a rendering backend (SDL offscreen or Xvfb)
function(tarvix_test name)
  cmake_parse_arguments(ARG "" "LABEL;TIMEOUT" "SOURCES;LIBS;DEPENDS" ${ARGN})
  if(NOT ARG_LABEL)
    set(ARG_LABEL unit)
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  add_executable(${name} ${ARG_SOURCES} ${TARVIX_SANITIZER_OBJECTS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_options(${name} PRIVATE ${TARVIX_WARNINGS})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest GTest::gtest_main
                                        Threads::Threads)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  if(ARG_DEPENDS)
    add_dependencies(${name} ${ARG_DEPENDS})
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS ${ARG_LABEL} TIMEOUT ${ARG_TIMEOUT})
endfunction()
