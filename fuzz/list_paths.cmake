# List paths through the confinement rule: an accepted path stays below its folder, is relative and
# holds no zero byte; a refused one breaks a rule.
add_executable(list_paths_fuzz ${CMAKE_CURRENT_LIST_DIR}/list_paths_fuzz.cc)
target_compile_options(list_paths_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(list_paths_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(list_paths_fuzz PRIVATE hall_update_checks)
# The libraries under test carry the coverage instrumentation, or the fuzzer would steer blind.
foreach(lib hall_update_checks hall_update hall_checklist hall_text)
  target_compile_options(${lib} PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
endforeach()
