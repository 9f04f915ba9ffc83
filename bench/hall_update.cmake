# The hall's own update through the update flow with its progress window (SDL offscreen), beside
# the engine alone and the curl command-line tool fetching the same 200 files, in interleaved
# rounds.
if(TARGET hall_update_flow AND TARGET skinui_sdl AND TARGET update_server_fixture)
  tarvix_executable(hall_update_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/hall_update_bench.cc
    LIBS hall_update_flow skinui_sdl update_server_fixture benchmark::benchmark)
  target_compile_definitions(hall_update_bench PRIVATE
    HALL_PROGRAM_FOLDER="${CMAKE_BINARY_DIR}/bin")
endif()
