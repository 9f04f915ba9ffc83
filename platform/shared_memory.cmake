# Named shared-memory mappings.
tarvix_library(platform_shared_memory
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/shared_memory.cc
  PUBLIC_LIBS rt)

tarvix_test(platform_shared_memory_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/shared_memory_test.cc
  LIBS platform_shared_memory)
