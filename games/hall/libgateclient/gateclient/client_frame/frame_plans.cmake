# The plan manager fed by the client frame, and the road of a match end to end: the local gate,
# the real client frame and the fake game client as a second process.
tarvix_library(gateclient_frame_plans
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/frame_plans.cc
  PUBLIC_LIBS gateclient_frame gateclient_plan_glue gateclient_config)
target_link_libraries(gateclient_client_frame INTERFACE gateclient_frame_plans)

tarvix_test(gateclient_game_e2e_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/game_e2e_test.cc
  LIBS gateclient_frame_plans testing_gate_hall testing_gate fake_game_record
  LABEL integration
  TIMEOUT 120
  DEPENDS fake_game)
target_compile_definitions(gateclient_game_e2e_test PRIVATE
  FAKE_GAME_PATH="$<TARGET_FILE:fake_game>")
