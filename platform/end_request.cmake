# Requests to end the program (SIGTERM, SIGINT, SIGHUP) as a call on a thread of its own.
tarvix_library(platform_end_request
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/end_request.cc
  PUBLIC_LIBS Threads::Threads)

# A second process (testing/platform_peer) takes the signals.
tarvix_test(platform_end_request_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/end_request_test.cc
  LIBS platform_end_request platform_process
  LABEL integration
  DEPENDS platform_peer)
target_compile_definitions(platform_end_request_test PRIVATE
  PLATFORM_PEER_PATH="$<TARGET_FILE:platform_peer>")
