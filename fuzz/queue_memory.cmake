# Block queues whose shared area another process filled with anything: every call returns one of
# its codes at once, stays inside the mapping and the caller's buffer, and a queue rebuilt after a
# corrupt message carries messages again.
tarvix_fuzz_target(queue_memory SOURCES queue_memory_fuzz.cc LIBS gateclient_ipc_check)
