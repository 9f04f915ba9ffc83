# XML documents: any bytes parse; what parses saves and parses back into the same tree.
add_executable(xml_document_fuzz ${CMAKE_CURRENT_LIST_DIR}/xml_document_fuzz.cc)
target_compile_options(xml_document_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(xml_document_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(xml_document_fuzz PRIVATE xmldoc)
# The library itself carries the coverage instrumentation, or the fuzzer would steer blind.
target_compile_options(xmldoc PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
