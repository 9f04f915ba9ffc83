// Blowfish ECB encryption and decryption of gate payloads (64 B, 1 KiB, 64 KiB): our cipher's
// byte-vector entry points beside OpenSSL's, doing the same work (copy, pad, every block).
#include <benchmark/benchmark.h>
#include <openssl/blowfish.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "gateclient/crypto/blowfish.h"

namespace {

const uint8_t kKey[] = "gatekey-material12345678";

std::vector<uint8_t> Payload(std::size_t size) {
  std::vector<uint8_t> data(size);
  for (std::size_t i = 0; i < size; ++i)
    data[i] = static_cast<uint8_t>(i * 131 + 7);
  return data;
}

void SetThroughput(benchmark::State& state, std::size_t size) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(size));
}

void BM_OursEncrypt(benchmark::State& state) {
  Blowfish cipher;
  cipher.SetKey(kKey, sizeof kKey - 1);
  const std::vector<uint8_t> in = Payload(state.range(0));
  for (auto _ : state)
    benchmark::DoNotOptimize(cipher.Encrypt(in));
  SetThroughput(state, in.size());
}

void BM_OursDecrypt(benchmark::State& state) {
  Blowfish cipher;
  cipher.SetKey(kKey, sizeof kKey - 1);
  const std::vector<uint8_t> in = cipher.Encrypt(Payload(state.range(0)));
  for (auto _ : state)
    benchmark::DoNotOptimize(cipher.Decrypt(in));
  SetThroughput(state, in.size());
}

std::vector<uint8_t> OpensslEncrypt(const BF_KEY& key, const std::vector<uint8_t>& in) {
  const std::size_t pad = 8 - in.size() % 8;
  std::vector<uint8_t> out(in.size() + pad, static_cast<uint8_t>(pad));
  std::copy(in.begin(), in.end(), out.begin());
  for (std::size_t at = 0; at < out.size(); at += 8) {
    BF_ecb_encrypt(&out[at], &out[at], &key, BF_ENCRYPT);
  }
  return out;
}

void BM_OpensslEncrypt(benchmark::State& state) {
  BF_KEY key;
  BF_set_key(&key, sizeof kKey - 1, kKey);
  const std::vector<uint8_t> in = Payload(state.range(0));
  for (auto _ : state)
    benchmark::DoNotOptimize(OpensslEncrypt(key, in));
  SetThroughput(state, in.size());
}

void BM_OpensslDecrypt(benchmark::State& state) {
  BF_KEY key;
  BF_set_key(&key, sizeof kKey - 1, kKey);
  const std::vector<uint8_t> in = OpensslEncrypt(key, Payload(state.range(0)));
  for (auto _ : state) {
    std::vector<uint8_t> out(in);
    for (std::size_t at = 0; at + 8 <= out.size(); at += 8) {
      BF_ecb_encrypt(&out[at], &out[at], &key, BF_DECRYPT);
    }
    const uint8_t pad = out.back();
    if (pad >= 1 && pad <= 8)
      out.resize(out.size() - pad);
    benchmark::DoNotOptimize(out);
  }
  SetThroughput(state, in.size());
}

BENCHMARK(BM_OursEncrypt)->Arg(64)->Arg(1024)->Arg(65536);
BENCHMARK(BM_OpensslEncrypt)->Arg(64)->Arg(1024)->Arg(65536);
BENCHMARK(BM_OursDecrypt)->Arg(64)->Arg(1024)->Arg(65536);
BENCHMARK(BM_OpensslDecrypt)->Arg(64)->Arg(1024)->Arg(65536);

}  // namespace

BENCHMARK_MAIN();
