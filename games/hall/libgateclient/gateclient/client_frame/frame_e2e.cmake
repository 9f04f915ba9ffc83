# The real client frame with its protocol layer and the catalogue against the local gate.
tarvix_test(gateclient_frame_e2e_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/frame_e2e_test.cc
  LIBS gateclient_frame gateclient_catalogue_glue testing_gate_hall testing_gate
  LABEL integration
  TIMEOUT 120)
