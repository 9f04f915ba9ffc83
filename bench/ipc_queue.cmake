# Block-queue throughput between two processes, beside a Unix socketpair carrying the same
# messages.
tarvix_executable(ipc_queue_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ipc_queue_bench.cc
  LIBS gateclient_ipc benchmark::benchmark)
