# Block queues whose shared area another process filled with anything: every call returns one of
# its codes at once, stays inside the mapping and the caller's buffer, and a queue rebuilt after a
# corrupt message carries messages again.
add_executable(queue_memory_fuzz ${CMAKE_CURRENT_LIST_DIR}/queue_memory_fuzz.cc)
target_compile_options(queue_memory_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(queue_memory_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(queue_memory_fuzz PRIVATE gateclient_ipc_check)
# The libraries themselves carry the coverage instrumentation, or the fuzzer would steer blind.
target_compile_options(gateclient_ipc PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
target_compile_options(gateclient_ipc_check PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
