# The per-user registry stand-in: key trees in files under the user's configuration folder.
tarvix_library(platform_registry
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/registry.cc
  PUBLIC_LIBS platform)

tarvix_test(platform_registry_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/registry_test.cc
  LIBS platform_registry)
