# Gate streams: any bytes in any chunks go through a real connection channel; what it cuts are the
# frames the stream holds, within the cap, and each decodes and re-encodes consistently.
tarvix_fuzz_target(gate_stream SOURCES gate_stream_fuzz.cc LIBS testing_gate_checks)
