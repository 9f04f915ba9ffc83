# Any text as one update-log line: one line, CR LF only at its end, the text capped without
# splitting a surrogate pair.
add_executable(update_log_fuzz ${CMAKE_CURRENT_LIST_DIR}/update_log_fuzz.cc)
target_compile_options(update_log_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(update_log_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(update_log_fuzz PRIVATE hall_update_checks)
# The libraries under test carry the coverage instrumentation, or the fuzzer would steer blind.
foreach(lib hall_update_checks hall_update hall_checklist hall_text)
  target_compile_options(${lib} PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
endforeach()
