# Starting, watching and ending other programs.
tarvix_library(platform_process
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/process.cc
  PUBLIC_LIBS platform)

# The two-process tests start testing/platform_peer.
tarvix_test(platform_process_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/process_test.cc
  LIBS platform_process
  LABEL integration
  DEPENDS platform_peer)
target_compile_definitions(platform_process_test PRIVATE
  PLATFORM_PEER_PATH="$<TARGET_FILE:platform_peer>")

tarvix_test(platform_cross_process_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/cross_process_test.cc
  LIBS platform_process platform_named_sync platform_shared_memory
  LABEL integration
  DEPENDS platform_peer)
target_compile_definitions(platform_cross_process_test PRIVATE
  PLATFORM_PEER_PATH="$<TARGET_FILE:platform_peer>")
