# Thread ids and sleeps.
tarvix_library(platform_thread_util
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/thread_util.cc
  PUBLIC_LIBS Threads::Threads)
tarvix_test(platform_thread_util_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/thread_util_test.cc
  LIBS platform_thread_util)
