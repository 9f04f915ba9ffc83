# Mutexes and events shared between processes by name.
tarvix_library(platform_named_sync
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/named_sync.cc
  PUBLIC_LIBS platform_shared_memory Threads::Threads)

tarvix_test(platform_named_sync_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/named_sync_test.cc
  LIBS platform_named_sync)
