# The main window and the About box.
tarvix_library(hall_main_frame
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/about_box.cc
    ${CMAKE_CURRENT_LIST_DIR}/main_frame.cc
  PUBLIC_LIBS hall_plan_views hall_signup hall_account_store hall_plan_manager hall_ui
              gateclient_handover gateclient_log)

tarvix_test(hall_main_frame_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/main_frame_test.cc
  LIBS hall_main_frame hall_plan_views_testing update_server_fixture platform_registry)
target_compile_definitions(hall_main_frame_test PRIVATE
                           HALL_PROGRAM_FOLDER="${CMAKE_BINARY_DIR}/bin")

# The main window over the real hall runtime and the local gate, drawn through SDL offscreen.
if(TARGET skinui_sdl)
  tarvix_test(hall_main_frame_gate_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/main_frame_gate_test.cc
    LIBS hall_main_frame hall_runtime hall_login hall_plan_views_gate skinui_sdl
         update_server_fixture platform_registry
    LABEL integration)
  target_compile_definitions(hall_main_frame_gate_test PRIVATE
                             HALL_PROGRAM_FOLDER="${CMAKE_BINARY_DIR}/bin")
endif()

# The hall's windows as a person handles them (caption drag, Enter and Escape, the clipboard),
# drawn through SDL offscreen.
if(TARGET skinui_sdl)
  tarvix_test(hall_main_frame_window_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/main_frame_window_test.cc
    LIBS hall_main_frame hall_login skinui_sdl update_server_fixture platform_registry
    LABEL window)
  target_compile_definitions(hall_main_frame_window_test PRIVATE
                             HALL_PROGRAM_FOLDER="${CMAKE_BINARY_DIR}/bin")
endif()
