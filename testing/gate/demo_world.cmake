# The demo world behind the local gate: a catalogue that moves, the demo account, and matches
# that start once the user's plan is full (local_gate --demo).
tarvix_library(testing_gate_demo
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/demo_world.cc
  PUBLIC_LIBS testing_gate_hall testing_gate_register platform)

tarvix_test(testing_gate_demo_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/demo_world_test.cc
  LIBS testing_gate_demo gateclient_session
  LABEL integration)
