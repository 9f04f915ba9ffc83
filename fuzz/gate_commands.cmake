# Decoded gate frames of any kind, subid and payload: the command factories make only their own
# commands, which re-encode consistently, and the client frame's handlers act on them soundly.
add_executable(gate_commands_fuzz ${CMAKE_CURRENT_LIST_DIR}/gate_commands_fuzz.cc)
target_compile_options(gate_commands_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(gate_commands_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(gate_commands_fuzz PRIVATE testing_gate_checks)
# The libraries under test carry the coverage instrumentation, or the fuzzer would steer blind.
foreach(lib gateclient_command gateclient_frame gateclient_protocol gateclient_session
            gateclient_base gateclient_handover gateclient_plan_list gateclient_crypto
            gateclient_publisher gateclient_log gateclient_job hall_text testing_gate_checks)
  target_compile_options(${lib} PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
endforeach()
