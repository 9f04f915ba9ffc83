# Base64 decoding of any text into a buffer of any capacity, and encode/decode round trips.
tarvix_fuzz_target(base64_decode SOURCES base64_decode_fuzz.cc LIBS gateclient_crypto_check)
