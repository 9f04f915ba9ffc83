# Gate streams: any bytes in any chunks go through a real connection channel; what it cuts are the
# frames the stream holds, within the cap, and each decodes and re-encodes consistently.
add_executable(gate_stream_fuzz ${CMAKE_CURRENT_LIST_DIR}/gate_stream_fuzz.cc)
target_compile_options(gate_stream_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(gate_stream_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(gate_stream_fuzz PRIVATE testing_gate_checks)
# The libraries under test carry the coverage instrumentation, or the fuzzer would steer blind.
foreach(lib gateclient_net gateclient_base testing_gate_checks)
  target_compile_options(${lib} PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
endforeach()
