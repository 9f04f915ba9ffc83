# Check-list texts: every entry accepted is keyed by its path, sized within 32 bits, and its path
# is confined to the product folder or refused.
add_executable(check_list_fuzz ${CMAKE_CURRENT_LIST_DIR}/check_list_fuzz.cc)
target_compile_options(check_list_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(check_list_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(check_list_fuzz PRIVATE hall_update_checks)
# The libraries under test carry the coverage instrumentation, or the fuzzer would steer blind.
foreach(lib hall_update_checks hall_update hall_checklist hall_text)
  target_compile_options(${lib} PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
endforeach()
