# Base64 decoding of any text into a buffer of any capacity, and encode/decode round trips.
add_executable(base64_decode_fuzz ${CMAKE_CURRENT_LIST_DIR}/base64_decode_fuzz.cc)
target_compile_options(base64_decode_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(base64_decode_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(base64_decode_fuzz PRIVATE gateclient_crypto)
