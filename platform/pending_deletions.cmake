# Deletion at the next run of the update applier, for files in use now.
tarvix_library(platform_pending_deletions
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/pending_deletions.cc
  PUBLIC_LIBS platform platform_file_tree)
tarvix_test(platform_pending_deletions_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/pending_deletions_test.cc
  LIBS platform_pending_deletions)
