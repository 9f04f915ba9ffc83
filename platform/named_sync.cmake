# Mutexes and events shared between processes by name.
tarvix_library(platform_named_sync
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/named_sync.cc
  PUBLIC_LIBS platform_shared_memory platform_thread_util Threads::Threads)

tarvix_test(platform_named_sync_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/named_sync_test.cc
  LIBS platform_named_sync)

# The mutex against a second process (testing/platform_peer).
tarvix_test(platform_named_sync_peer_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/named_sync_peer_test.cc
  LIBS platform_named_sync platform_process
  LABEL integration
  DEPENDS platform_peer)
target_compile_definitions(platform_named_sync_peer_test PRIVATE
  PLATFORM_PEER_PATH="$<TARGET_FILE:platform_peer>")

# The property the named-sync fuzzer checks, replayed over its kept scripts.
tarvix_library(platform_named_sync_check
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/named_sync_check.cc
  PUBLIC_LIBS platform_named_sync)
tarvix_test(platform_named_sync_corpus_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/named_sync_corpus_test.cc
  LIBS platform_named_sync_check platform)
target_compile_definitions(platform_named_sync_corpus_test
  PRIVATE SYNC_CORPUS_DIR="${PROJECT_SOURCE_DIR}/fuzz/corpus/named_sync")
