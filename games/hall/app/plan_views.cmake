# The main window's catalogue views: the plan tree, the recommended matches and the game-type bar,
# with their row texts. Their test peers (a catalogue filled through its own handlers, a window
# that hosts the views as the main window's skin does) serve the tests, tools and benchmarks.
tarvix_library(hall_plan_views
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/plan_row_text.cc
    ${CMAKE_CURRENT_LIST_DIR}/plan_tree_node.cc
    ${CMAKE_CURRENT_LIST_DIR}/ui_plan_list.cc
    ${CMAKE_CURRENT_LIST_DIR}/hot_match_list.cc
    ${CMAKE_CURRENT_LIST_DIR}/ui_left_group.cc
  PUBLIC_LIBS hall_app_core hall_my_match hall_ui gateclient_log)

tarvix_library(hall_plan_views_testing
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/testing/plan_catalogue.cc
    ${CMAKE_CURRENT_LIST_DIR}/testing/plan_views_host.cc
  PUBLIC_LIBS hall_plan_views gateclient_plan_list)

set(_plan_views_defs
    HALL_PROGRAM_FOLDER="${CMAKE_BINARY_DIR}/bin"
    PLAN_VIEWS_HOST_SKIN="${CMAKE_CURRENT_LIST_DIR}/testing/plan_views_host.xml")

tarvix_test(hall_plan_views_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/plan_id_set_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/plan_row_text_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/plan_tree_node_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/ui_plan_list_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/hot_match_list_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/ui_left_group_test.cc
  LIBS hall_plan_views_testing)
target_compile_definitions(hall_plan_views_test PRIVATE ${_plan_views_defs})

if(TARGET skinui_sdl)
  tarvix_test(hall_plan_views_window_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/plan_views_window_test.cc
    LIBS hall_plan_views_testing skinui_sdl
    LABEL window)
  target_compile_definitions(hall_plan_views_window_test PRIVATE ${_plan_views_defs})
endif()

# The views over a real connection: the hall runtime against the local gate serving a named
# catalogue.
if(TARGET skinui_sdl)
  tarvix_library(hall_plan_views_gate
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/testing/catalogue_service.cc
    PUBLIC_LIBS hall_plan_views_testing testing_gate_hall)
  tarvix_test(hall_plan_views_gate_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/plan_views_gate_test.cc
    LIBS hall_plan_views_gate hall_runtime update_server_fixture skinui_sdl
    LABEL integration)
  target_compile_definitions(hall_plan_views_gate_test PRIVATE ${_plan_views_defs})
endif()
