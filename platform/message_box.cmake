# Message boxes of the update applier: console and scripted.
tarvix_library(platform_message_box
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/message_box.cc
  PUBLIC_LIBS Threads::Threads)
tarvix_test(platform_message_box_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/message_box_test.cc
  LIBS platform_message_box)
