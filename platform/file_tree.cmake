# Listing and removing folder trees without following symbolic links.
tarvix_library(platform_file_tree SOURCES ${CMAKE_CURRENT_LIST_DIR}/file_tree.cc)
tarvix_test(platform_file_tree_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/file_tree_test.cc
  LIBS platform_file_tree platform)
