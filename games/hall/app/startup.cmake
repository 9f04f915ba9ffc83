# The hall's start-up: the single instance, the hall's own update handed to the applier, the
# main window's run.
tarvix_library(hall_startup
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/single_instance.cc
    ${CMAKE_CURRENT_LIST_DIR}/hall_app.cc
  PUBLIC_LIBS skinui hall_text platform platform_instance_lock platform_process
              platform_command_line brimsett_applier)

tarvix_test(hall_startup_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/hall_app_test.cc
  LIBS hall_startup platform_file_system)

# A hall as a program of its own (the start-up with a titled window and a scripted update), for
# the tests with several real processes and the real applier.
tarvix_executable(hall_app_peer
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/testing/hall_app_peer_main.cc
  LIBS hall_startup hall_update platform_file_system)

tarvix_test(hall_startup_process_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/hall_app_process_test.cc
  LIBS hall_startup update_check_list_maker update_server_fixture platform_process
       platform_window_link
  LABEL integration
  TIMEOUT 300
  DEPENDS hall_app_peer brimsett)
target_compile_definitions(hall_startup_process_test PRIVATE
  HALL_APP_PEER_PATH="$<TARGET_FILE:hall_app_peer>"
  BRIMSETT_PATH="$<TARGET_FILE:brimsett>")

if(TARGET skinui_sdl)
  tarvix_test(hall_startup_window_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/hall_app_window_test.cc
    LIBS hall_startup skinui_sdl
    LABEL window)
endif()
