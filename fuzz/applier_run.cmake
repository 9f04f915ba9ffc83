# The applier over generated check-lists and staging folders (in memory): nothing outside the
# installation and staging folders is removed, renamed, moved or created.
tarvix_fuzz_target(applier_run SOURCES applier_run_fuzz.cc LIBS brimsett_applier_checks)
