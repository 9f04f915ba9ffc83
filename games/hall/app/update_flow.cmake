# The game list with its version check, and the self-update of the hall and its games.
tarvix_library(hall_game_list
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/version_number.cc
    ${CMAKE_CURRENT_LIST_DIR}/game_list.cc
  PUBLIC_LIBS hall_text hall_update gateclient_config xmldoc platform platform_file_system)

tarvix_test(hall_game_list_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/version_number_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/game_list_test.cc
  LIBS hall_game_list update_server_fixture)
