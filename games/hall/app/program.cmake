# The hall program itself: the composition root that makes the program-wide objects and runs the
# start-up. It is installed into the program folder beside brimsett.
find_package(CURL REQUIRED)
tarvix_executable(tarvix
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tarvix_main.cc
  LIBS hall_startup hall_main_frame hall_login hall_update_flow hall_runtime hall_plan_manager
       hall_account_store platform_end_request platform_registry platform_web_link skinui_sdl
       CURL::libcurl)
tarvix_install_program(tarvix)

# The installed tarvix on a private Xvfb display, driven with xdotool: the restart after a refused
# login, the end when asked to.
tarvix_library(hall_xvfb_display
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/testing/xvfb_display.cc
  PUBLIC_LIBS platform platform_process)
tarvix_test(tarvix_process_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tarvix_process_test.cc
  LIBS hall_xvfb_display hall_account_store testing_gate_hall update_server_fixture
       platform_process platform_registry
  LABEL integration
  TIMEOUT 300
  DEPENDS brimsett tarvix tarvix_make_check_list)
target_compile_definitions(tarvix_process_test PRIVATE
  CMAKE_COMMAND_PATH="${CMAKE_COMMAND}"
  BUILD_FOLDER="${CMAKE_BINARY_DIR}")
