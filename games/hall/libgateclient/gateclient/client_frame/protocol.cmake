# The request functions and the dispatch of what the gate forwards.
tarvix_library(gateclient_protocol
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/client_functions.cc
    ${CMAKE_CURRENT_LIST_DIR}/gate_dispatch.cc
  PUBLIC_LIBS gateclient_session gateclient_handover gateclient_publisher gateclient_log
              gateclient_job)
target_link_libraries(gateclient_client_frame INTERFACE gateclient_protocol)

tarvix_test(gateclient_protocol_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/client_functions_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/gate_dispatch_test.cc
  LIBS gateclient_protocol)
