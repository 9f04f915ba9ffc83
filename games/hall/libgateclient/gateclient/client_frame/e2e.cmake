# The protocol layer end to end against the local gate and its hall services.
tarvix_test(gateclient_protocol_e2e_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/protocol_e2e_test.cc
  LIBS gateclient_catalogue_glue testing_gate_hall gateclient_net platform_net
  LABEL integration)
