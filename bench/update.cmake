# The update engine fetching a 200-file product from local nginx, beside the curl command-line
# tool fetching the same URLs, and the comparison of two 100,000-entry check-lists.
if(TARGET hall_update AND TARGET update_server_fixture)
  tarvix_executable(update_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/update_bench.cc
    LIBS hall_update update_server_fixture benchmark::benchmark)
endif()
