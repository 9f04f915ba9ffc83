# Timed waits of polling loops (the gate client's job thread), replaceable by a stepped waiter.
tarvix_library(platform_waiter
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/waiter.cc
  PUBLIC_LIBS platform Threads::Threads)

tarvix_test(platform_waiter_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/waiter_test.cc
  LIBS platform_waiter)
