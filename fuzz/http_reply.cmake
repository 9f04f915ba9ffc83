# HTTP replies as the update engine sees them: a real download session reads any reply (raw, or
# built from a description with a known outcome) from a loopback server; it takes a body only from a
# reply that answers the request, never more than allowed, and exactly what the rules give.
tarvix_fuzz_target(http_reply SOURCES http_reply_fuzz.cc LIBS hall_update_checks)
