# Named shared-memory mappings.
tarvix_library(platform_shared_memory
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/shared_memory.cc ${CMAKE_CURRENT_LIST_DIR}/mapping_guard.cc
  PUBLIC_LIBS rt)

tarvix_test(platform_shared_memory_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/shared_memory_test.cc
  LIBS platform_shared_memory)

tarvix_test(platform_mapping_guard_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/mapping_guard_test.cc
  LIBS platform_shared_memory)
