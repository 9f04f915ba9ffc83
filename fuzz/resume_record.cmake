# Any bytes as a stored resume record: what is accepted lies within its run and writes back the
# same.
tarvix_fuzz_target(resume_record SOURCES resume_record_fuzz.cc LIBS hall_update_checks)
