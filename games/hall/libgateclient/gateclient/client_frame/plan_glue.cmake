# The hall plan manager joined to the dispatch, the session and the request path.
tarvix_library(gateclient_plan_glue
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/plan_glue.cc
  PUBLIC_LIBS gateclient_protocol gateclient_plan_table)
target_link_libraries(gateclient_client_frame INTERFACE gateclient_plan_glue)

tarvix_test(gateclient_plan_glue_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/plan_glue_test.cc
  LIBS gateclient_plan_glue)
