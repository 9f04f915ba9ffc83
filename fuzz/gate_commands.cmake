# Decoded gate frames of any kind, subid and payload: the command factories make only their own
# commands, which re-encode consistently, and the client frame's handlers act on them soundly.
tarvix_fuzz_target(gate_commands SOURCES gate_commands_fuzz.cc LIBS testing_gate_checks)
