# Ini text: any bytes parse, and the text written back parses into as many sections.
add_executable(ini_text_fuzz ${CMAKE_CURRENT_LIST_DIR}/ini_text_fuzz.cc)
target_compile_options(ini_text_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(ini_text_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(ini_text_fuzz PRIVATE gateclient_config)
