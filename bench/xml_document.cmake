# Parse and save of a large check-list and a skin file, beside pugixml and tinyxml2 (bench-only).
find_package(pugixml CONFIG QUIET)
find_package(tinyxml2 CONFIG QUIET)
if(TARGET pugixml::pugixml AND TARGET tinyxml2::tinyxml2)
  tarvix_executable(xml_document_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/xml_document_bench.cc
    LIBS xmldoc benchmark::benchmark pugixml::pugixml tinyxml2::tinyxml2)
endif()
