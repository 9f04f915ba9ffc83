# TCP sockets: the connection manager's close-on-exec sockets and loopback helpers for peers.
tarvix_library(platform_net
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/net.cc
  PUBLIC_LIBS platform)

tarvix_test(platform_net_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/net_test.cc
  LIBS platform_net)
