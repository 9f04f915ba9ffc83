# The named mutex and event segments a game can write: any script of writes, truncations and
# calls ends each call in the result the segment's words give, and every call returns.
tarvix_fuzz_target(named_sync SOURCES named_sync_fuzz.cc LIBS platform_named_sync_check)
