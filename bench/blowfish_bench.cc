// Blowfish ECB encryption and decryption of gate payloads (64 B, 1 KiB, 64 KiB): our cipher's
// byte-vector entry points beside OpenSSL's, doing the same work (copy, pad, every block), which
// each benchmark checks first: the same ciphertext, and the payload back from either decryption.
#include <benchmark/benchmark.h>
#include <openssl/blowfish.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "bench/interleaved_main.h"
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

std::vector<uint8_t> OpensslEncrypt(const BF_KEY& key, const std::vector<uint8_t>& in);
std::vector<uint8_t> OpensslDecrypt(const BF_KEY& key, const std::vector<uint8_t>& in);

// Both ciphers must do the same work: the same ciphertext for the same payload, and each
// decryption gives the payload back. Checked once per benchmark, outside the timing.
bool SameWork(std::size_t size) {
  Blowfish cipher;
  cipher.SetKey(kKey, sizeof kKey - 1);
  BF_KEY key;
  BF_set_key(&key, sizeof kKey - 1, kKey);
  const std::vector<uint8_t> in = Payload(size);
  const std::vector<uint8_t> ours = cipher.Encrypt(in);
  return ours == OpensslEncrypt(key, in) && cipher.Decrypt(ours) == in &&
         OpensslDecrypt(key, ours) == in;
}

void BM_OursEncrypt(benchmark::State& state) {
  if (!SameWork(state.range(0))) {
    state.SkipWithError("the ciphers do not agree");
    return;
  }
  Blowfish cipher;
  cipher.SetKey(kKey, sizeof kKey - 1);
  const std::vector<uint8_t> in = Payload(state.range(0));
  for (auto _ : state)
    benchmark::DoNotOptimize(cipher.Encrypt(in));
  SetThroughput(state, in.size());
}

void BM_OursDecrypt(benchmark::State& state) {
  if (!SameWork(state.range(0))) {
    state.SkipWithError("the ciphers do not agree");
    return;
  }
  Blowfish cipher;
  cipher.SetKey(kKey, sizeof kKey - 1);
  const std::vector<uint8_t> in = cipher.Encrypt(Payload(state.range(0)));
  for (auto _ : state)
    benchmark::DoNotOptimize(cipher.Decrypt(in));
  SetThroughput(state, in.size());
}

// The gate reads a block as two little-endian words; OpenSSL's block function takes the words
// themselves, so the baseline loads and stores them as the gate does (a plain copy on this host).
void OpensslBlocks(const BF_KEY& key, std::vector<uint8_t>* data, int direction) {
  for (std::size_t at = 0; at + 8 <= data->size(); at += 8) {
    BF_LONG words[2];
    std::memcpy(words, data->data() + at, 8);
    if (direction == BF_ENCRYPT)
      BF_encrypt(words, &key);
    else
      BF_decrypt(words, &key);
    std::memcpy(data->data() + at, words, 8);
  }
}

std::vector<uint8_t> OpensslEncrypt(const BF_KEY& key, const std::vector<uint8_t>& in) {
  const std::size_t pad = 8 - in.size() % 8;
  std::vector<uint8_t> out(in.size() + pad, static_cast<uint8_t>(pad));
  std::copy(in.begin(), in.end(), out.begin());
  OpensslBlocks(key, &out, BF_ENCRYPT);
  return out;
}

std::vector<uint8_t> OpensslDecrypt(const BF_KEY& key, const std::vector<uint8_t>& in) {
  std::vector<uint8_t> out(in);
  OpensslBlocks(key, &out, BF_DECRYPT);
  const uint8_t pad = out.empty() ? 0 : out.back();
  if (pad >= 1 && pad <= 8)
    out.resize(out.size() - pad);
  return out;
}

void BM_OpensslEncrypt(benchmark::State& state) {
  if (!SameWork(state.range(0))) {
    state.SkipWithError("the ciphers do not agree");
    return;
  }
  BF_KEY key;
  BF_set_key(&key, sizeof kKey - 1, kKey);
  const std::vector<uint8_t> in = Payload(state.range(0));
  for (auto _ : state)
    benchmark::DoNotOptimize(OpensslEncrypt(key, in));
  SetThroughput(state, in.size());
}

void BM_OpensslDecrypt(benchmark::State& state) {
  if (!SameWork(state.range(0))) {
    state.SkipWithError("the ciphers do not agree");
    return;
  }
  BF_KEY key;
  BF_set_key(&key, sizeof kKey - 1, kKey);
  const std::vector<uint8_t> in = OpensslEncrypt(key, Payload(state.range(0)));
  for (auto _ : state)
    benchmark::DoNotOptimize(OpensslDecrypt(key, in));
  SetThroughput(state, in.size());
}

BENCHMARK(BM_OursEncrypt)->Arg(64)->Arg(1024)->Arg(65536);
BENCHMARK(BM_OpensslEncrypt)->Arg(64)->Arg(1024)->Arg(65536);
BENCHMARK(BM_OursDecrypt)->Arg(64)->Arg(1024)->Arg(65536);
BENCHMARK(BM_OpensslDecrypt)->Arg(64)->Arg(1024)->Arg(65536);

}  // namespace

TARVIX_BENCHMARK_MAIN()
