# Moving, renaming and removing single files with the system's error codes.
tarvix_library(platform_file_move
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/file_move.cc
  PUBLIC_LIBS platform)
tarvix_test(platform_file_move_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/file_move_test.cc
  LIBS platform_file_move)
