# Deletion at the next run of the update applier, for files in use now.
tarvix_library(platform_pending_deletions
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/pending_deletions.cc
  PUBLIC_LIBS platform platform_file_tree)
tarvix_test(platform_pending_deletions_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/pending_deletions_test.cc
  LIBS platform_pending_deletions)

# The property the pending-deletions fuzzer checks, replayed over its kept records.
tarvix_library(platform_pending_deletions_check
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/pending_deletions_check.cc
  PUBLIC_LIBS platform_pending_deletions)
tarvix_test(platform_pending_deletions_corpus_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/pending_deletions_corpus_test.cc
  LIBS platform_pending_deletions_check)
target_compile_definitions(platform_pending_deletions_corpus_test
  PRIVATE PENDING_CORPUS_DIR="${PROJECT_SOURCE_DIR}/fuzz/corpus/pending_deletions")
