# Check-list texts: every entry accepted is keyed by its path, sized within 32 bits, and its path
# is confined to the product folder or refused.
tarvix_fuzz_target(check_list SOURCES check_list_fuzz.cc LIBS hall_update_checks)
