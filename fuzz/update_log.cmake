# Any text as one update-log line: one line, CR LF only at its end, the text capped without
# splitting a surrogate pair.
tarvix_fuzz_target(update_log SOURCES update_log_fuzz.cc LIBS hall_update_checks)
