# The hall runtime: settings, the program's client frame with the plan manager and the catalogue,
# the hand-over to the main window, and the windows' HallGate over it all.
tarvix_library(hall_runtime
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/hall_runtime.cc
  PUBLIC_LIBS hall_app_core gateclient_program_frame gateclient_frame_plans
              gateclient_catalogue_glue platform_process platform_waiter)

tarvix_test(hall_runtime_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/hall_runtime_test.cc
  LIBS hall_runtime testing_gate_hall update_server_fixture
  LABEL integration
  TIMEOUT 120)

tarvix_test(hall_runtime_headless_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/hall_runtime_headless_test.cc
  LIBS hall_runtime gateclient_scripted_agent update_server_fixture)
