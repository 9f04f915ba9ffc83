tarvix_library(platform_command_line SOURCES ${CMAKE_CURRENT_LIST_DIR}/command_line.cc)
tarvix_test(platform_command_line_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/command_line_test.cc
  LIBS platform_command_line)
