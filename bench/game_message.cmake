# A game's messages through a plan table and its channel to a second process and back, and a
# game flooding the hall, beside a Unix socket pair between the same two processes.
tarvix_executable(game_message_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/game_message_bench.cc
  LIBS gateclient_plan_table benchmark::benchmark Threads::Threads)
