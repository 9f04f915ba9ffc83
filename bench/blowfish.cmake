# Blowfish ECB over gate-sized payloads, beside OpenSSL's libcrypto Blowfish (bench-only).
find_package(PkgConfig REQUIRED)
pkg_check_modules(TARVIX_BENCH_LIBCRYPTO IMPORTED_TARGET libcrypto)
if(TARGET PkgConfig::TARVIX_BENCH_LIBCRYPTO)
  tarvix_executable(blowfish_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/blowfish_bench.cc
    LIBS gateclient_crypto benchmark::benchmark PkgConfig::TARVIX_BENCH_LIBCRYPTO)
  # The libcrypto Blowfish calls are deprecated in OpenSSL 3 but still the baseline to beat.
  target_compile_options(blowfish_bench PRIVATE -Wno-deprecated-declarations)
endif()
