# What every hall window shares: the narrow gate interface, the account record and the lobby's
# web links.
tarvix_library(hall_app_core
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/lobby_links.cc
  PUBLIC_LIBS gateclient_protocol gateclient_plan_list gateclient_config platform_web_link)

tarvix_test(hall_app_core_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/lobby_links_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/testing/recording_hall_gate_test.cc
  LIBS hall_app_core update_server_fixture)

# The user's own sign-ups.
tarvix_library(hall_my_match
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/my_match.cc
  PUBLIC_LIBS gateclient_command gateclient_job)

tarvix_test(hall_my_match_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/my_match_test.cc
  LIBS hall_my_match)
