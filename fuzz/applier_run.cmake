# The applier over generated check-lists and staging folders (in memory): nothing outside the
# installation and staging folders is removed, renamed, moved or created.
add_executable(applier_run_fuzz ${CMAKE_CURRENT_LIST_DIR}/applier_run_fuzz.cc)
target_compile_options(applier_run_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(applier_run_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(applier_run_fuzz PRIVATE brimsett_applier_checks)
# The libraries under test carry the coverage instrumentation, or the fuzzer would steer blind.
foreach(lib brimsett_applier_checks brimsett_applier hall_checklist hall_text)
  target_compile_options(${lib} PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
endforeach()
