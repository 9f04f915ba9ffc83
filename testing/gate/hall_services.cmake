# The hall's services behind the local gate: login, catalogue, match details and joins, pushes.
tarvix_library(testing_gate_hall
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/hall_services.cc
  PUBLIC_LIBS testing_gate wire
  PRIVATE_LIBS gateclient_session)

tarvix_test(testing_gate_hall_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/hall_services_test.cc
  LIBS testing_gate_hall gateclient_session
  LABEL integration)
