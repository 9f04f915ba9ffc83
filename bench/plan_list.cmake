tarvix_executable(plan_list_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/plan_list_bench.cc
  LIBS gateclient_plan_list benchmark::benchmark)
