# The per-user registry stand-in: key trees in files under the user's configuration folder.
tarvix_library(platform_registry
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/registry.cc
  PUBLIC_LIBS platform)

tarvix_test(platform_registry_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/registry_test.cc
  LIBS platform_registry)

# The property the registry fuzzer checks, replayed over its kept inputs by the corpus test.
tarvix_library(platform_registry_check
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/registry_check.cc
  PUBLIC_LIBS platform_registry)

tarvix_test(platform_registry_corpus_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/registry_corpus_test.cc
  LIBS platform_registry_check)
target_compile_definitions(platform_registry_corpus_test
  PRIVATE REGISTRY_CORPUS_DIR="${PROJECT_SOURCE_DIR}/fuzz/corpus/registry_file")
