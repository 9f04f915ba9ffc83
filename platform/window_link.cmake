# Windows found by title and posted to from another process.
tarvix_library(platform_window_link
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/window_link.cc)
tarvix_test(platform_window_link_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/window_link_test.cc
  LIBS platform_window_link)
