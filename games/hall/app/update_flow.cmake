# The game list with its version check, the progress window, and the self-update of the hall and
# its games. One library: the program's game list runs the program's update flow. hall_game_list
# names the same library for code that only checks games.
find_package(CURL REQUIRED)

tarvix_library(hall_update_flow
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/version_number.cc
    ${CMAKE_CURRENT_LIST_DIR}/game_list.cc
    ${CMAKE_CURRENT_LIST_DIR}/progress_dialog.cc
    ${CMAKE_CURRENT_LIST_DIR}/update_flow.cc
  PUBLIC_LIBS hall_ui hall_text hall_update gateclient_config xmldoc skinui platform
              platform_file_system platform_process platform_command_line CURL::libcurl)
add_library(hall_game_list ALIAS hall_update_flow)

tarvix_test(hall_game_list_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/version_number_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/game_list_test.cc
  LIBS hall_update_flow update_server_fixture)

tarvix_test(hall_progress_dialog_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/progress_dialog_test.cc
  LIBS hall_update_flow)
target_compile_definitions(hall_progress_dialog_test
  PRIVATE HALL_PROGRAM_FOLDER="${CMAKE_BINARY_DIR}/bin")

tarvix_test(hall_update_flow_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/update_flow_test.cc
  LIBS hall_update_flow update_server_fixture brimsett_applier
  LABEL integration
  TIMEOUT 300
  DEPENDS brimsett)
target_compile_definitions(hall_update_flow_test PRIVATE
  HALL_PROGRAM_FOLDER="${CMAKE_BINARY_DIR}/bin"
  BRIMSETT_PROGRAM="$<TARGET_FILE:brimsett>")

if(TARGET skinui_sdl)
  tarvix_test(hall_progress_dialog_window_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/progress_dialog_window_test.cc
    LIBS hall_update_flow skinui_sdl update_server_fixture
    LABEL window
    TIMEOUT 120)
  target_compile_definitions(hall_progress_dialog_window_test
    PRIVATE HALL_PROGRAM_FOLDER="${CMAKE_BINARY_DIR}/bin")
endif()
