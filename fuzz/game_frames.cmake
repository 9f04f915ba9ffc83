# Any message a game sends: the frame decoders and what a plan table hands on to the gate.
add_executable(game_frames_fuzz ${CMAKE_CURRENT_LIST_DIR}/game_frames_fuzz.cc)
target_compile_options(game_frames_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(game_frames_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(game_frames_fuzz PRIVATE gateclient_plan_table_check)
# The libraries themselves carry the coverage instrumentation, or the fuzzer would steer blind.
target_compile_options(gateclient_ipc PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
target_compile_options(gateclient_plan_table PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
target_compile_options(gateclient_plan_table_check
  PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
