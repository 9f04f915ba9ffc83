# List-file URLs: the escape undoes, and a list path's URL keeps the base's scheme, host and folder
# with no query or fragment. The first byte picks HTTP or FTP.
add_executable(url_fuzz ${CMAKE_CURRENT_LIST_DIR}/url_fuzz.cc)
target_compile_options(url_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(url_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(url_fuzz PRIVATE hall_update_checks)
# The libraries under test carry the coverage instrumentation, or the fuzzer would steer blind.
foreach(lib hall_update_checks hall_update hall_checklist hall_text)
  target_compile_options(${lib} PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
endforeach()
