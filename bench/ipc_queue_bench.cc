// Throughput of one block queue between two processes (the write and read loops alone, without
// the channel's worker), beside a Unix socketpair carrying the same messages in the same run.
// Each iteration sends one batch from the parent to a forked reader, which checks the length and
// bytes of every message and answers with one byte when it has the whole batch.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <thread>

#include "bench/interleaved_main.h"
#include "gateclient/ipc/cxqueue.h"

namespace {

// Bytes per iteration, so that every size moves the same amount.
constexpr size_t kBatchBytes = 4 << 20;

size_t BatchCount(size_t size) {
  return std::max<size_t>(1, kBatchBytes / size);
}

std::string QueueName(const char* tag) {
  return std::string("tvx_bench_") + tag + "_" + std::to_string(getpid());
}

// The message of `size` bytes both contenders carry; every reader checks what it got against it.
std::string Message(size_t size) {
  std::string message(size, '\0');
  for (size_t i = 0; i < size; ++i)
    message[i] = static_cast<char>('a' + i % 23);
  return message;
}

// Reads `count` messages, then acknowledges on the reverse queue, with "k" when every message
// came whole and as sent, else "x". Runs in the child.
[[noreturn]] void QueueReader(const std::string& data_name, const std::string& ack_name,
                              size_t size, size_t count) {
  CXQueue in, ack;
  if (in.Open(data_name.c_str()) != kQueueOk || ack.Open(ack_name.c_str()) != kQueueOk)
    _exit(3);
  const std::string expected = Message(size);
  std::string buf(size + 8, '\0');
  for (;;) {
    bool same = true;
    for (size_t got = 0; got < count;) {
      uint32_t length = static_cast<uint32_t>(buf.size()), seq = 0;
      uint32_t rc = in.Read(buf.data(), &length, &seq, nullptr, 100);
      if (rc == kQueueOk) {
        same = same && length == size && std::memcmp(buf.data(), expected.data(), size) == 0;
        ++got;
      } else if (rc == kQueueEmpty) {
        in.WaitForData(10);  // blocks in the kernel as the socket reader does
      } else {
        _exit(4);
      }
    }
    while (ack.Write(same ? "k" : "x", 1) != kQueueOk) {
    }
  }
}

void BM_BlockQueue(benchmark::State& state) {
  const size_t size = static_cast<size_t>(state.range(0));
  const size_t count = BatchCount(size);
  std::string data_name = QueueName("data"), ack_name = QueueName("ack");
  CXQueue out, ack;
  if (out.Create(data_name.c_str()) != kQueueOk || ack.Create(ack_name.c_str()) != kQueueOk) {
    state.SkipWithError("cannot create the queues");
    return;
  }
  pid_t child = fork();
  if (child == 0)
    QueueReader(data_name, ack_name, size, count);
  const std::string message = Message(size);
  char reply[8];
  for (auto _ : state) {
    for (size_t i = 0; i < count;) {
      if (out.Write(message.data(), static_cast<uint32_t>(size)) == kQueueOk)
        ++i;
    }
    for (;;) {
      uint32_t length = sizeof reply, seq = 0;
      uint32_t rc = ack.Read(reply, &length, &seq, nullptr, 100);
      if (rc == kQueueOk)
        break;
      ack.WaitForData(10);
    }
    if (reply[0] != 'k') {
      state.SkipWithError("a message did not arrive as sent");
      break;
    }
  }
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * count * size));
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * count));
}

bool ReadFull(int fd, char* p, size_t n) {
  while (n > 0) {
    ssize_t r = read(fd, p, n);
    if (r <= 0)
      return false;
    p += r;
    n -= static_cast<size_t>(r);
  }
  return true;
}

bool WriteFull(int fd, const char* p, size_t n) {
  while (n > 0) {
    ssize_t r = write(fd, p, n);
    if (r <= 0)
      return false;
    p += r;
    n -= static_cast<size_t>(r);
  }
  return true;
}

// The same messages over a stream socketpair, each with a 4-byte length in front, as a stream
// carrying messages needs.
void BM_SocketPair(benchmark::State& state) {
  const size_t size = static_cast<size_t>(state.range(0));
  const size_t count = BatchCount(size);
  int fds[2];
  if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) {
    state.SkipWithError("socketpair failed");
    return;
  }
  pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    const std::string expected = Message(size);
    std::string buf(size, '\0');
    for (;;) {
      bool same = true;
      for (size_t i = 0; i < count; ++i) {
        uint32_t len;
        if (!ReadFull(fds[1], reinterpret_cast<char*>(&len), 4) || len != size ||
            !ReadFull(fds[1], buf.data(), len)) {
          _exit(4);
        }
        same = same && std::memcmp(buf.data(), expected.data(), size) == 0;
      }
      if (!WriteFull(fds[1], same ? "k" : "x", 1))
        _exit(5);
    }
  }
  close(fds[1]);
  std::string frame(4, '\0');
  uint32_t len = static_cast<uint32_t>(size);
  std::memcpy(frame.data(), &len, 4);
  frame += Message(size);
  char reply = 0;
  for (auto _ : state) {
    bool sent = true;
    for (size_t i = 0; i < count; ++i)
      sent = WriteFull(fds[0], frame.data(), frame.size()) && sent;
    if (!sent || !ReadFull(fds[0], &reply, 1) || reply != 'k') {
      state.SkipWithError("a message did not arrive as sent");
      break;
    }
  }
  close(fds[0]);
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * count * size));
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * count));
}

BENCHMARK(BM_BlockQueue)->Arg(100)->Arg(1024)->Arg(4096)->Arg(16384)->Arg(64 << 10)->UseRealTime();
BENCHMARK(BM_SocketPair)->Arg(100)->Arg(1024)->Arg(4096)->Arg(16384)->Arg(64 << 10)->UseRealTime();

}  // namespace

TARVIX_BENCHMARK_MAIN()
