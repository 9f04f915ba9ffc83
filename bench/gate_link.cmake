# The gate link: the frame codec against a plain copy, and the connection manager's loopback
# throughput and round trip against a plain blocking socket pair in the same run.
tarvix_executable(gate_link_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/gate_link_bench.cc
  LIBS gateclient_net platform_net benchmark::benchmark Threads::Threads)
