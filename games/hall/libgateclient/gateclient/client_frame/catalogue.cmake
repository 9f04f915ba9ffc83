# The match catalogue joined to the request path, the window's traces and the log sinks.
tarvix_library(gateclient_catalogue_glue
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/catalogue_glue.cc
  PUBLIC_LIBS gateclient_protocol gateclient_plan_list gateclient_config)
target_link_libraries(gateclient_client_frame INTERFACE gateclient_catalogue_glue)

tarvix_test(gateclient_catalogue_glue_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/catalogue_glue_test.cc
  LIBS gateclient_catalogue_glue platform update_server_fixture)
