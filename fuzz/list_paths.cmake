# List paths through the confinement rule: an accepted path stays below its folder, is relative and
# holds no zero byte; a refused one breaks a rule.
tarvix_fuzz_target(list_paths SOURCES list_paths_fuzz.cc LIBS hall_update_checks)
