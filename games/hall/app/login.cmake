# The saved accounts, the login dialog, the register dialog with its captcha image.
tarvix_library(hall_account_store
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/account_store.cc
  PUBLIC_LIBS platform_registry
  PRIVATE_LIBS gateclient_crypto gateclient_config hall_text platform)

tarvix_test(hall_account_store_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/account_store_test.cc
  LIBS hall_account_store gateclient_crypto update_server_fixture)

tarvix_library(hall_login
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/login_dialog.cc
    ${CMAKE_CURRENT_LIST_DIR}/png_control.cc
    ${CMAKE_CURRENT_LIST_DIR}/register_dialog.cc
  PUBLIC_LIBS hall_account_store hall_app_core hall_ui skinui
  PRIVATE_LIBS hall_text gateclient_command gateclient_log)

tarvix_test(hall_login_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/login_dialog_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/png_control_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/register_dialog_test.cc
  LIBS hall_login hall_text gateclient_command testing_gate_register update_server_fixture)
target_compile_definitions(hall_login_test PRIVATE HALL_PROGRAM_FOLDER="${CMAKE_BINARY_DIR}/bin")

if(TARGET skinui_sdl)
  tarvix_test(hall_login_window_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/login_window_test.cc
    LIBS hall_login hall_text gateclient_command skinui_sdl testing_gate_register
         update_server_fixture
    LABEL window)
  target_compile_definitions(hall_login_window_test PRIVATE
                             HALL_PROGRAM_FOLDER="${CMAKE_BINARY_DIR}/bin")
endif()

tarvix_test(hall_login_gate_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/login_gate_test.cc
  LIBS hall_login hall_runtime hall_text gateclient_command testing_gate_register
       update_server_fixture
  LABEL integration)
target_compile_definitions(hall_login_gate_test PRIVATE HALL_PROGRAM_FOLDER="${CMAKE_BINARY_DIR}/bin")
