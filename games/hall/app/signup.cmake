# The hall's plan manager (the user's sign-ups and the gate's loss told to the main window) and
# the sign-up road: the game's check, the withdrawal, the details and the sign-up dialog.
tarvix_library(hall_plan_manager
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/hall_plan_manager.cc
  PUBLIC_LIBS hall_my_match gateclient_plan_table skinui)
target_compile_options(hall_plan_manager PRIVATE -Werror=format)

tarvix_test(hall_plan_manager_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/hall_plan_manager_test.cc
  LIBS hall_plan_manager)

tarvix_library(hall_signup
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/signup_flow.cc
    ${CMAKE_CURRENT_LIST_DIR}/signup_dialog.cc
  PUBLIC_LIBS hall_app_core hall_my_match hall_ui gateclient_log skinui)
target_compile_options(hall_signup PRIVATE -Werror=format)

tarvix_test(hall_signup_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/signup_flow_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/signup_dialog_test.cc
  LIBS hall_signup)
target_compile_definitions(hall_signup_test PRIVATE HALL_PROGRAM_FOLDER="${CMAKE_BINARY_DIR}/bin")

if(TARGET skinui_sdl)
  tarvix_test(hall_signup_window_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/signup_dialog_window_test.cc
    LIBS hall_signup skinui_sdl
    LABEL window)
  target_compile_definitions(hall_signup_window_test PRIVATE
                             HALL_PROGRAM_FOLDER="${CMAKE_BINARY_DIR}/bin")
endif()

# The road end to end: the hall runtime over the real client frame against the local gate.
tarvix_test(hall_signup_e2e_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/signup_e2e_test.cc
  LIBS hall_signup hall_plan_manager hall_runtime testing_gate_hall update_server_fixture
  LABEL integration
  TIMEOUT 120)
target_compile_definitions(hall_signup_e2e_test PRIVATE
                           HALL_PROGRAM_FOLDER="${CMAKE_BINARY_DIR}/bin")
