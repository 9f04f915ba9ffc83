# The main window and the About box.
tarvix_library(hall_main_frame
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/about_box.cc
    ${CMAKE_CURRENT_LIST_DIR}/main_frame.cc
  PUBLIC_LIBS hall_plan_views hall_signup hall_account_store hall_plan_manager hall_ui
              gateclient_handover gateclient_log)

tarvix_test(hall_main_frame_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/main_frame_test.cc
  LIBS hall_main_frame update_server_fixture platform_registry)
target_compile_definitions(hall_main_frame_test PRIVATE
                           HALL_PROGRAM_FOLDER="${CMAKE_BINARY_DIR}/bin")
