# Streamed writes, file times, renames and folder walks behind a replaceable interface.
tarvix_library(platform_file_system
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/file_system.cc
  PUBLIC_LIBS platform)

tarvix_test(platform_file_system_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/file_system_test.cc
  LIBS platform_file_system)
