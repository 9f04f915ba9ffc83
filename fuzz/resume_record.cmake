# Any bytes as a stored resume record: what is accepted lies within its run and writes back the
# same.
add_executable(resume_record_fuzz ${CMAKE_CURRENT_LIST_DIR}/resume_record_fuzz.cc)
target_compile_options(resume_record_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(resume_record_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(resume_record_fuzz PRIVATE hall_update_checks)
# The libraries under test carry the coverage instrumentation, or the fuzzer would steer blind.
foreach(lib hall_update_checks hall_update hall_checklist hall_text)
  target_compile_options(${lib} PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
endforeach()
